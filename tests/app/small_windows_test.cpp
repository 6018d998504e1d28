#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/about_window.h"
#include "app/advanced_window.h"
#include "app/qt_services.h"
#include "platform/errors.h"
#include "tests/support/fakes.h"
#include "tests/support/program_folder_fixture.h"

namespace glx::test {
namespace {

TEST(AboutWindow, Labels) {
  RecordingShell shell;
  TAboutWindow about(shell);
  EXPECT_EQ(about.windowTitle().toStdString(), "About");
  EXPECT_TRUE(about.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(about.isModal());
  struct Label {
    const char* name;
    const char* text;
  };
  for (const Label& l : {Label{"titleLabel", "Glimmerax"}, Label{"lVersion", "Version  2.0"},
                         Label{"linkLabel", "http://www.tallowbrook.example/"}}) {
    auto* label = about.findChild<QLabel*>(QString::fromLatin1(l.name));
    ASSERT_NE(label, nullptr) << l.name;
    EXPECT_EQ(label->text().toStdString(), l.text) << l.name;
  }
  EXPECT_TRUE(about.findChild<QLabel*>(QStringLiteral("titleLabel"))->font().bold());
  auto* link = about.findChild<QLabel*>(QStringLiteral("linkLabel"));
  EXPECT_TRUE(link->font().underline());
  EXPECT_TRUE(link->font().bold());
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(about.findChild<QPushButton*>(QStringLiteral("bClose"))->text().toStdString(), "&Close");
}

TEST(AboutWindow, EnterClosesEscapeDoesNot) {
  struct Case {
    const char* name;
    Qt::Key key;
    bool closes;
  };
  const Case cases[] = {
      {"Escape", Qt::Key_Escape, false},
      {"Return", Qt::Key_Return, true},
      {"keypad Enter", Qt::Key_Enter, true},
      {"a letter", Qt::Key_A, false},
  };
  for (const Case& c : cases) {
    RecordingShell shell;
    TAboutWindow about(shell);
    about.show();
    QTest::keyClick(&about, c.key);
    EXPECT_EQ(about.isVisible(), !c.closes) << c.name;
    // The same with the close button holding the focus.
    about.show();
    about.findChild<QPushButton*>(QStringLiteral("bClose"))->setFocus();
    QTest::keyClick(about.findChild<QPushButton*>(QStringLiteral("bClose")), c.key);
    EXPECT_EQ(about.isVisible(), !c.closes) << c.name << " (button focused)";
    EXPECT_TRUE(shell.opened.empty()) << c.name;
  }
}

TEST(AboutWindow, LinkOpensTheAddressAndCloses) {
  RecordingShell shell;
  TAboutWindow about(shell);
  about.show();
  QTest::mouseClick(about.findChild<QLabel*>(QStringLiteral("linkLabel")), Qt::LeftButton);
  EXPECT_EQ(shell.opened, std::vector<std::string>{"http://www.tallowbrook.example/"});
  EXPECT_FALSE(about.isVisible());
}

class AdvancedWindowTest : public ::testing::Test {
 protected:
  ProgramFolderFixture fx;
  RecordingShell shell;
  ScriptedDialogs dialogs;
  NullDocumentView view;
  AppletDocument doc;
  RequiredFiles files{fx.folders, shell};
  AppletEditor editor{doc, files, dialogs, view};
  std::vector<int> helpShown;

  TAdvancedWindow* open() {
    auto* w = new TAdvancedWindow(editor, [this](int context) { helpShown.push_back(context); });
    w->show();
    return w;
  }
  static QPlainTextEdit* alt(TAdvancedWindow* w) { return w->findChild<QPlainTextEdit*>(QStringLiteral("mAltHTML")); }
  static QLineEdit* message(TAdvancedWindow* w) { return w->findChild<QLineEdit*>(QStringLiteral("eLoadingMessage")); }
  static void closeAndFree(TAdvancedWindow* w) {
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

TEST_F(AdvancedWindowTest, EnterDoesNotBreakTheLineCtrlEnterDoes) {
  editor.setDefaults();
  TAdvancedWindow* w = open();
  EXPECT_EQ(w->windowTitle().toStdString(), "Advanced Options");
  QTest::keyClicks(alt(w), "ab");
  QTest::keyClick(alt(w), Qt::Key_Return);
  QTest::keyClick(alt(w), Qt::Key_Enter);
  EXPECT_EQ(doc.alternativeHtml, "ab");
  EXPECT_TRUE(w->isVisible());  // Enter pressed no button
  QTest::keyClick(alt(w), Qt::Key_Return, Qt::ControlModifier);
  QTest::keyClicks(alt(w), "c");
  EXPECT_EQ(doc.alternativeHtml, "ab\nc");
  closeAndFree(w);
}

TEST_F(AdvancedWindowTest, ShowingFillsFromTheDocumentWithoutMarkingIt) {
  editor.setDefaults();
  doc.alternativeHtml = "line one\nline two";
  doc.loadingMessage = "Wait";
  TAdvancedWindow* w = open();
  EXPECT_EQ(alt(w)->toPlainText().toStdString(), "line one\nline two");
  EXPECT_EQ(message(w)->text().toStdString(), "Wait");
  EXPECT_FALSE(doc.modified);
  EXPECT_FALSE(doc.updatingControls);

  // A new document while the window is open: typing copies only that box.
  doc.loadingMessage = "Other";
  doc.alternativeHtml = "new";
  alt(w)->moveCursor(QTextCursor::End);
  QTest::keyClicks(alt(w), "!");
  EXPECT_EQ(doc.alternativeHtml, "line one\nline two!");
  EXPECT_EQ(doc.loadingMessage, "Other");
  closeAndFree(w);

  // Opened again: the document's current values.
  w = open();
  EXPECT_EQ(message(w)->text().toStdString(), "Other");
  closeAndFree(w);
}

TEST_F(AdvancedWindowTest, ColourButtonsAndHelp) {
  editor.setDefaults();
  TAdvancedWindow* w = open();
  dialogs.colorAnswers.push_back(std::nullopt);
  dialogs.colorAnswers.push_back(0x0000FFu);
  w->findChild<QPushButton*>(QStringLiteral("bBackgroundColor"))->click();
  EXPECT_EQ(doc.loadingBackgroundColor, 0u);
  EXPECT_TRUE(doc.modified);
  w->findChild<QPushButton*>(QStringLiteral("bFontColor"))->click();
  EXPECT_EQ(doc.loadingFontColor, 0x0000FFu);
  EXPECT_EQ(dialogs.colorDialogs, (std::vector<uint32_t>{0u, 0xFFFFFFu}));
  w->findChild<QToolButton*>(QStringLiteral("bHelp"))->click();
  EXPECT_EQ(helpShown, std::vector<int>{55});
  QPointer<TAdvancedWindow> guard(w);
  w->findChild<QPushButton*>(QStringLiteral("bClose"))->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
}

}  // namespace
}  // namespace glx::test

namespace glx::test {
namespace {

// The application's standard error box: a message box titled "Glimmerax"
// with the exception's text; the program goes on after OK.
TEST(StandardErrorBox, ShowsTheTextUnderTheProgramsTitle) {
  MessageBoxErrorSink box;
  setErrorSink(&box);
  std::string title;
  std::string text;
  QTimer::singleShot(0, [&] {
    auto* message = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!message) return;
    title = message->windowTitle().toStdString();
    text = message->text().toStdString();
    message->button(QMessageBox::Ok)->click();
  });
  // Never hang on a box the first timer missed.
  QTimer::singleShot(5000, [] {
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  const bool ran = runGuarded([] { throw EConvertError("'x' is not a valid integer value"); });
  setErrorSink(nullptr);
  EXPECT_FALSE(ran);
  EXPECT_EQ(title, "Glimmerax");
  EXPECT_EQ(text, "'x' is not a valid integer value");
}

}  // namespace
}  // namespace glx::test
