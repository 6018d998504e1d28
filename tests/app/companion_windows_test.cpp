// The main window with the browser selection and update windows that
// start-up creates after it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <functional>

#include "app/browser_window.h"
#include "app/help_window.h"
#include "app/update_window.h"
#include "publish/test_run.h"
#include "settings/bound_widgets.h"
#include "tests/app/main_window_fixture.h"

namespace glx::test {
namespace {

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

// Runs "&Browser" and, while the window is shown modally, the given check;
// the window is closed after it.
void whileBrowserWindowShown(TMainWindow& window, const std::function<void(QWidget* modal)>& check) {
  bool ran = false;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    ran = true;
    check(modal);
    if (QWidget* still = QApplication::activeModalWidget()) still->close();
  });
  menuAction(window, "browserMenuItem")->trigger();
  EXPECT_TRUE(ran);
}

TEST_F(MainWindowTest, BrowserWindowOpensCentredOnTheScreen) {
  startWithCompanions();
  whileBrowserWindowShown(*window, [&](QWidget* modal) {
    ASSERT_EQ(modal, companions.browser);
    const QRect screen = modal->screen()->geometry();
    const QRect frame = modal->frameGeometry();
    // Its real size, not the size it had before it was laid out.
    EXPECT_GE(frame.width(), modal->sizeHint().width());
    EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1) << frame.x() << "," << frame.y();
    EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1) << frame.x() << "," << frame.y();
  });
}

// Counts the key presses that reach a window through the window system,
// where a modal window would hold them back.
class KeyCounter : public QObject {
 public:
  int presses = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) ++presses;
    return false;
  }
};

TEST_F(MainWindowTest, HelpFromTheModalBrowserWindowCanBeUsedAtOnce) {
  startWithCompanions();
  whileBrowserWindowShown(*window, [&](QWidget* modal) {
    ASSERT_EQ(modal, companions.browser);
    companions.browser->SpeedButton4->click();
    HelpWindow& help = window->helpWindow();
    ASSERT_TRUE(help.isVisible());
    EXPECT_EQ(help.currentSource().fragment().toStdString(), "context-32");
    ASSERT_NE(help.windowHandle(), nullptr);
    KeyCounter keys;
    help.windowHandle()->installEventFilter(&keys);
    QTest::keyClick(help.windowHandle(), Qt::Key_Down);
    help.windowHandle()->removeEventFilter(&keys);
    EXPECT_EQ(keys.presses, 1) << "the help window is blocked by the browser window";
    // And it closes while the browser window stays open.
    EXPECT_TRUE(help.close());
    EXPECT_TRUE(companions.browser->isVisible());
  });
  EXPECT_TRUE(errors.errors.empty()) << errors.errors.front();

  // Later, from the main window, the same help window is shown again.
  menuAction(*window, "helpMenuItem")->trigger();
  EXPECT_TRUE(window->helpWindow().isVisible());
  EXPECT_TRUE(errors.errors.empty()) << errors.errors.front();
  window->helpWindow().close();
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
  // Served from a loopback address, so the browser plays it as a published page.
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_TRUE(shell.opened[0].starts_with("http://127.0.0.1:")) << shell.opened[0];
  EXPECT_TRUE(shell.opened[0].ends_with("/Applet%20Temp.html")) << shell.opened[0];
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
