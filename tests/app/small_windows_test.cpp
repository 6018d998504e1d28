#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/about_window.h"
#include "app/advanced_window.h"
#include "app/application_setup.h"
#include "app/qt_services.h"
#include "document/document_commands.h"
#include "platform/errors.h"
#include "tests/support/fakes.h"
#include "tests/support/program_folder_fixture.h"
#include "tests/support/temp_dir.h"

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

TEST(AboutWindow, EnterAndEscapeClose) {
  struct Case {
    const char* name;
    Qt::Key key;
    bool closes;
  };
  const Case cases[] = {
      {"Escape", Qt::Key_Escape, true},
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

// A dialog border of the designed 291 x 300: larger only as far as a
// larger font needs, never resizable, and nothing in it cut off.
TEST_F(AdvancedWindowTest, FixedDialogOfTheDesignedSize) {
  editor.setDefaults();
  const QFont original = QApplication::font();
  struct Case {
    const char* name;
    int pointSize;  // 0: the desktop's font
  };
  for (const Case& c : {Case{"the desktop's font", 0}, Case{"a large font", 20}}) {
    if (c.pointSize) {
      QFont large = original;
      large.setPointSize(c.pointSize);
      QApplication::setFont(large);
    }
    TAdvancedWindow* w = open();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(w->minimumSize(), w->maximumSize()) << c.name;
    EXPECT_EQ(w->size(), w->minimumSize()) << c.name;
    // At least the designed size; beyond it only as far as the content at
    // its smallest needs.
    EXPECT_GE(w->width(), 291) << c.name;
    EXPECT_GE(w->height(), 300) << c.name;
    if (w->width() > 291) EXPECT_EQ(w->width(), w->minimumSizeHint().width()) << c.name;
    if (w->height() > 300) EXPECT_EQ(w->height(), w->layout()->totalMinimumHeightForWidth(w->width())) << c.name;
    if (c.pointSize) EXPECT_GT(w->height(), 300) << c.name;
    for (QWidget* control : w->findChildren<QWidget*>()) {
      const bool laidOut = control->parentWidget() == w || qobject_cast<QGroupBox*>(control->parentWidget());
      if (!laidOut || !control->isVisibleTo(w)) continue;
      const std::string name = c.name + std::string(": ") + control->metaObject()->className() + " " +
                               control->objectName().toStdString();
      const QRect place(control->mapTo(w, QPoint(0, 0)), control->size());
      EXPECT_TRUE(w->rect().contains(place)) << name;
      const QSize needed = control->minimumSizeHint();
      if (needed.isValid()) {
        EXPECT_GE(control->width(), needed.width()) << name;
        EXPECT_GE(control->height(), needed.height()) << name;
      }
      if (auto* label = qobject_cast<QLabel*>(control); label && label->wordWrap())
        EXPECT_GE(label->height(), label->heightForWidth(label->width())) << name;
    }
    closeAndFree(w);
    QApplication::setFont(original);
  }
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

// Qt adds an application display name, once one is set, to the caption of
// every window; the program sets none, so the display name stays the
// application's name and each window keeps its caption alone.
TEST(ApplicationSetup, NoNameIsAddedToTheCaptions) {
  const QString before = QCoreApplication::applicationName();
  setUpApplication();
  EXPECT_EQ(QCoreApplication::applicationName().toStdString(), "Glimmerax");
  QCoreApplication::setApplicationName(QStringLiteral("glimmerax-probe"));
  EXPECT_EQ(QGuiApplication::applicationDisplayName().toStdString(), "glimmerax-probe");
  QCoreApplication::setApplicationName(before);
}

// Types a name into the real open dialog and confirms it, as a person
// would; a warning box on the way is recorded and closed, and a dialog that
// stays open after its confirmation is cancelled.
struct TypedOpen {
  std::optional<std::string> chosen;
  bool warned = false;
};

TypedOpen typeIntoOpenDialog(FileDialogOptions options, const std::string& folder, const std::string& name) {
  TypedOpen result;
  options.folder = folder;
  int confirmations = 0;
  QTimer driver;
  driver.setInterval(10);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      result.warned = true;
      box->close();
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      if (confirmations++ > 0) {
        QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
        return;
      }
      auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      ASSERT_NE(edit, nullptr);
      edit->setText(QString::fromStdString(name));
      // Confirmed from the event loop, so this timer can answer a box the
      // confirmation raises.
      QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
    }
  });
  driver.start();
  // Never hang on a dialog the driver could not answer.
  QTimer::singleShot(10000, [] {
    while (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  QtUserDialogs dialogs;
  result.chosen = dialogs.openFile(options);
  return result;
}

// The project Open dialog takes a name that does not exist (opening it then
// reports "File not found"); the picture dialog still wants an existing one.
TEST(OpenDialog, ProjectNamesNeedNotExistPicturesMust) {
  TempDir folder;
  FileDialogOptions picture;
  picture.title = "Open Image";
  const TypedOpen project = typeIntoOpenDialog(openProjectDialogOptions(), folder.path(), "missing.glx");
  ASSERT_TRUE(project.chosen.has_value());
  EXPECT_EQ(*project.chosen, folder / "missing.glx");
  EXPECT_FALSE(project.warned);

  const TypedOpen image = typeIntoOpenDialog(picture, folder.path(), "missing.gif");
  EXPECT_FALSE(image.chosen.has_value());
  EXPECT_TRUE(image.warned);
}

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
