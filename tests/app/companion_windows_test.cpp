// The main window with the browser selection and update windows that
// start-up creates after it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPushButton>
#include <QTimer>

#include "app/browser_window.h"
#include "app/update_window.h"
#include "publish/test_run.h"
#include "settings/bound_widgets.h"
#include "tests/app/main_window_fixture.h"

namespace glx::test {
namespace {

QAction* menuAction(TMainWindow& window, const char* name) {
  return window.findChild<QAction*>(QString::fromLatin1(name));
}

TEST_F(MainWindowTest, CompanionWindowsStartHidden) {
  startWithCompanions();
  ASSERT_NE(companions.browser, nullptr);
  ASSERT_NE(companions.update, nullptr);
  EXPECT_FALSE(companions.browser->isVisible());
  // A first start ("Config 3" still "0") does not remind.
  EXPECT_FALSE(companions.update->isVisible());
  EXPECT_EQ(companions.browser->currentBrowser(), "default");
}

TEST_F(MainWindowTest, BrowserMenuShowsTheBrowserWindowModally) {
  startWithCompanions();
  bool sawModal = false;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    sawModal = modal == companions.browser;
    if (modal) modal->close();
  });
  menuAction(*window, "browserMenuItem")->trigger();
  EXPECT_TRUE(sawModal);
  EXPECT_FALSE(companions.browser->isVisible());
}

TEST_F(MainWindowTest, InternetUpdateShowsTheUpdateWindowWithoutWaiting) {
  startWithCompanions();
  menuAction(*window, "updateMenuItem")->trigger();
  EXPECT_TRUE(companions.update->isVisible());
  EXPECT_FALSE(companions.update->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindowTest, TestRunUsesTheChosenBrowser) {
  startWithCompanions();
  window->cEffects->setCurrentIndex(1);  // "Hue Rotator": one image is enough
  QImage image(20, 10, QImage::Format_RGB32);
  image.fill(Qt::red);
  const std::string sun = pictures / "sun.jpg";
  ASSERT_TRUE(image.save(QString::fromStdString(sun), "JPG"));
  addImages({sun});

  // A browser that has since disappeared.
  companions.browser->browser->setText(QString::fromStdString(pictures / "gone/browser"));
  window->bTest->click();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{kSelectBrowserMessage});
  EXPECT_TRUE(shell.opened.empty());

  companions.browser->browser->setText(QStringLiteral("default"));
  window->bTest->click();
  EXPECT_EQ(shell.opened, std::vector<std::string>{fx.temp() + "Applet Temp.html"});
  EXPECT_TRUE(errors.errors.empty()) << errors.errors.front();
}

TEST_F(MainWindowTest, MonthlyReminderShowsTheUpdateWindowOnANewMonth) {
  startWithCompanions();
  // As if the last start had been in another month.
  window->monthLabel()->setText(QStringLiteral("13"));
  ASSERT_TRUE(window->close());
  finish();

  startWithCompanions();
  EXPECT_TRUE(companions.update->isVisible());
  EXPECT_NE(window->monthLabel()->text().toStdString(), "13");
  companions.update->close();
  ASSERT_TRUE(window->close());
  finish();

  // The same month again: no reminder.
  startWithCompanions();
  EXPECT_FALSE(companions.update->isVisible());
}

}  // namespace
}  // namespace glx::test
