// The main window's Edit menu, the undo keys, the window title and the
// close of an opened project, on the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTest>

#include "app/advanced_window.h"
#include "app/image_list_view.h"
#include "platform/file_ops.h"
#include "tests/app/main_window_fixture.h"

namespace glx::test {
namespace {

class MainWindowUndoTest : public MainWindowTest {
 protected:
  void activate() {
    QApplication::setActiveWindow(window.get());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  QMenu* editMenu() {
    for (QAction* top : window->menuBar()->actions())
      if (top->text() == QStringLiteral("&Edit")) return top->menu();
    ADD_FAILURE() << "no Edit menu";
    return nullptr;
  }
  // The menu's text without its mnemonic mark.
  std::string undoText() { return window->undoAction->text().remove(QLatin1Char('&')).toStdString(); }
  std::string redoText() { return window->redoAction->text().remove(QLatin1Char('&')).toStdString(); }
};

TEST_F(MainWindowUndoTest, EditMenuNamesTheStepAndTheKeysUndoIt) {
  start();
  activate();
  QMenu* edit = editMenu();
  ASSERT_NE(edit, nullptr);
  ASSERT_EQ(edit->actions().size(), 2);
  EXPECT_EQ(edit->actions()[0], window->undoAction);
  EXPECT_EQ(edit->actions()[1], window->redoAction);
  EXPECT_EQ(window->undoAction->shortcut(), QKeySequence(QKeySequence::Undo));
  EXPECT_TRUE(window->redoAction->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
  EXPECT_EQ(undoText(), "Undo");
  EXPECT_FALSE(window->undoAction->isEnabled());

  window->cEffects->setCurrentIndex(6);  // Drain
  EXPECT_EQ(undoText(), "Undo Change Effect");
  EXPECT_EQ(window->eFrames->value(), 80);
  window->eLink->setFocus();
  QTest::keyClicks(window->eLink, "next.html");
  EXPECT_EQ(undoText(), "Undo Change Link");

  // Ctrl+Z in the link field undoes the document's step, the whole typing.
  QTest::keyClick(window->eLink, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(window->eLink->text().toStdString(), "");
  EXPECT_EQ(doc().link, "");
  EXPECT_EQ(undoText(), "Undo Change Effect");
  EXPECT_EQ(redoText(), "Redo Change Link");
  QTest::keyClick(window->eLink, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(window->eLink->text().toStdString(), "next.html");
  EXPECT_EQ(doc().link, "next.html");

  QTest::keyClick(window->eLink, Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(window->eLink, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(window->cEffects->currentIndex(), 0);
  EXPECT_EQ(window->eFrames->value(), 40);
  EXPECT_FALSE(window->speedPanel->isHidden()) << "the effect's spin box is shown again";
  EXPECT_TRUE(window->framesPanel->isHidden());
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"fade.class"});
  EXPECT_EQ(redoText(), "Redo Change Effect");
  EXPECT_FALSE(doc().modified);
  EXPECT_TRUE(errors.errors.empty());
}

TEST_F(MainWindowUndoTest, ImagesComeBackInTheList) {
  start();
  addImages({picture("sun.gif"), picture("moon.gif")});
  EXPECT_EQ(undoText(), "Undo Add Image");
  window->undoAction->trigger();
  ASSERT_EQ(window->imageListBox->count(), 1);
  EXPECT_EQ(window->imageListBox->item(0)->text().toStdString(), "sun.gif");
  EXPECT_FALSE(fileExists(fx.required() + "moon.gif"));
  window->redoAction->trigger();
  ASSERT_EQ(window->imageListBox->count(), 2);
  EXPECT_TRUE(fileExists(fx.required() + "moon.gif"));
}

TEST_F(MainWindowUndoTest, AdvancedWindowShowsAnUndoneText) {
  start();
  menuAction(*window, "advancedMenuItem")->trigger();
  auto* advanced = window->findChild<TAdvancedWindow*>();
  ASSERT_NE(advanced, nullptr);
  auto* message = advanced->findChild<QLineEdit*>(QStringLiteral("eLoadingMessage"));
  ASSERT_NE(message, nullptr);
  QTest::keyClicks(message, " now");
  EXPECT_EQ(doc().loadingMessage, "Loading... now");
  EXPECT_EQ(undoText(), "Undo Change Loading Message");
  window->undoAction->trigger();
  EXPECT_EQ(message->text().toStdString(), "Loading...");
  EXPECT_EQ(doc().loadingMessage, "Loading...");
  EXPECT_FALSE(doc().modified);
}

TEST_F(MainWindowUndoTest, TitleNamesTheDocumentAndMarksChanges) {
  start();
  EXPECT_EQ(window->windowTitle().toStdString(), "Untitled[*] - Glimmerax");
  EXPECT_FALSE(window->isWindowModified());
  window->eFrames->setValue(55);
  EXPECT_TRUE(window->isWindowModified());

  const std::string sunset = fx.dir / "sunset.glx";
  dialogs.saveAnswers.push_back(sunset);
  menuAction(*window, "SaveAsMenuItem")->trigger();
  EXPECT_EQ(window->windowTitle().toStdString(), "sunset.glx[*] - Glimmerax");
  EXPECT_FALSE(window->isWindowModified());

  window->eFrames->setValue(56);
  EXPECT_TRUE(window->isWindowModified());
  window->undoAction->trigger();
  EXPECT_FALSE(window->isWindowModified()) << "undone back to the saved state";

  menuAction(*window, "newMenuItem")->trigger();
  EXPECT_EQ(window->windowTitle().toStdString(), "Untitled[*] - Glimmerax");
  EXPECT_FALSE(window->isWindowModified());

  dialogs.openAnswers.push_back(sunset);
  menuAction(*window, "openMenuItem")->trigger();
  EXPECT_EQ(window->windowTitle().toStdString(), "sunset.glx[*] - Glimmerax");
  EXPECT_FALSE(window->isWindowModified());
  EXPECT_EQ(doc().frameCount, 55);
  EXPECT_TRUE(dialogs.questions.empty());
}

// An opened project closes without the question until it is edited.
TEST_F(MainWindowUndoTest, OpenedProjectClosesWithoutAQuestion) {
  start();
  const std::string sunset = fx.dir / "sunset.glx";
  dialogs.saveAnswers.push_back(sunset);
  menuAction(*window, "SaveAsMenuItem")->trigger();

  start({sunset});
  EXPECT_FALSE(doc().modified);
  EXPECT_TRUE(window->close());
  EXPECT_TRUE(dialogs.questions.empty());

  start({sunset});
  window->eFrames->setValue(12);
  dialogs.answers.push_back(Answer::No);
  EXPECT_TRUE(window->close());
  EXPECT_EQ(dialogs.questions, std::vector<std::string>{"Save changes to the current Applet?"});
}

}  // namespace
}  // namespace glx::test
