// Undo and redo of every kind of edit, without a window: the document's
// content, the files in the real required-files and temporary folders and
// the modified flag before, after, undone and redone.
#include "document/edit_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "document/applet_editor.h"
#include "document/document_commands.h"
#include "document/html_builder.h"
#include "document/project_file.h"
#include "platform/file_ops.h"
#include "tests/document/project_test_support.h"
#include "tests/support/picture_bytes.h"
#include "tests/support/program_folder_fixture.h"

namespace glx {
namespace {

// The image list as the document sees it, and how often the whole document
// was shown again (with updatingControls set, as the handlers need).
class ShowingView : public NullDocumentView {
 public:
  explicit ShowingView(const AppletDocument& d) : doc(d) {}
  void showDocument() override {
    ++shown;
    if (!doc.updatingControls) ++shownWhileEditable;
  }
  int selectedImageItem() override { return selected; }
  const AppletDocument& doc;
  int selected = -1;
  int shown = 0;
  int shownWhileEditable = 0;
};

// The file names in a folder, sorted; none for a missing folder.
std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A saved project with two images, opened: no undo steps and unmodified.
struct Editing {
  Editing() {
    editor.setDefaults();
    html.setHistory(&editor.history());
    for (const char* name : {"sun.gif", "moon.jpg"}) {
      dialogs.openAnswers.push_back(picture(name));
      editor.bAddImageClick();
    }
    saved = fx.dir / "saved.glx";
    dialogs.saveAnswers.push_back(saved);
    commands.SaveAsMenuItemClick();
    project.openFileOne(saved);
  }

  std::string picture(const std::string& name) { return pictures.write(name, test::pictureBytes("picture " + name)); }
  std::vector<std::string> folders() const {
    std::vector<std::string> both = filesIn(fx.required());
    for (const std::string& name : filesIn(fx.temp())) both.push_back("temp/" + name);
    return both;
  }
  QUndoStack& stack() { return editor.history().stack(); }

  test::ProgramFolderFixture fx;
  test::TempDir pictures;
  test::RecordingShell shell;
  test::ScriptedDialogs dialogs;
  AppletDocument doc;
  ShowingView view{doc};
  RequiredFiles files{fx.folders, shell};
  AppletEditor editor{doc, files, dialogs, view};
  NullHtmlView htmlView;
  HtmlBuilder html{doc, dialogs, htmlView};
  test::RecordingRecentFiles recent;
  NullProjectView projectView;
  ProjectFile project{editor, recent, projectView};
  DocumentCommands commands{editor, project, dialogs};
  std::string saved;
};

TEST(EditHistoryTest, EveryKindOfEditUndoesAndRedoes) {
  struct Case {
    const char* name;  // the step's name in the Edit menu
    std::function<void(Editing&)> edit;
  };
  const Case cases[] = {
      {"Change Effect", [](Editing& e) { e.editor.cEffectsChange(6); }},  // Drain: warp.class
      {"Change Number of Frames", [](Editing& e) { e.editor.eFramesChange(99); }},
      {"Change Effect Speed", [](Editing& e) { e.editor.eIncrementChange(7); }},
      {"Change Background Color",
       [](Editing& e) {
         e.dialogs.colorAnswers.push_back(0x123456);
         e.editor.bkColorBtnClick();
       }},
      {"Change Link", [](Editing& e) { e.html.eLinkChange("next.html"); }},
      {"Change Target Frame", [](Editing& e) { e.html.eFrameChange("_top"); }},
      {"Add Image",
       [](Editing& e) {
         e.dialogs.openAnswers.push_back(e.picture("star.gif"));
         e.editor.bAddImageClick();
       }},
      {"Delete Image",
       [](Editing& e) {
         e.view.selected = 0;
         e.dialogs.answers.push_back(Answer::Yes);
         e.editor.deleteButtonButtonClick();
       }},
      {"Move Image", [](Editing& e) { e.editor.imageListBoxDragDrop(1, 0); }},
      {"Change Loading Message", [](Editing& e) { e.editor.eLoadingMessageChange("Wait..."); }},
      {"Change Loading Background Color",
       [](Editing& e) {
         e.dialogs.colorAnswers.push_back(0x00FF00);
         e.editor.bBackgroundColorClick();
       }},
      {"Change Loading Font Color",
       [](Editing& e) {
         e.dialogs.colorAnswers.push_back(0x0000FF);
         e.editor.bFontColorClick();
       }},
      {"Change Alternative HTML", [](Editing& e) { e.editor.mAltHTMLChange("<b>No Java</b>\nhere"); }},
  };
  for (const Case& c : cases) {
    Editing e;
    ASSERT_EQ(e.stack().count(), 0) << c.name;
    ASSERT_FALSE(e.doc.modified) << c.name;
    const DocumentContent before = contentOf(e.doc);
    const std::vector<std::string> foldersBefore = e.folders();

    c.edit(e);
    const DocumentContent after = contentOf(e.doc);
    const std::vector<std::string> foldersAfter = e.folders();
    EXPECT_NE(after, before) << c.name;
    EXPECT_TRUE(e.doc.modified) << c.name;
    ASSERT_EQ(e.stack().count(), 1) << c.name;
    EXPECT_EQ(e.stack().undoText().toStdString(), c.name);

    e.stack().undo();
    EXPECT_EQ(contentOf(e.doc), before) << c.name;
    EXPECT_EQ(e.folders(), foldersBefore) << c.name;
    EXPECT_FALSE(e.doc.modified) << c.name << ": back at the saved state";
    EXPECT_EQ(e.stack().redoText().toStdString(), c.name);
    EXPECT_EQ(e.view.shown, 1) << c.name;

    e.stack().redo();
    EXPECT_EQ(contentOf(e.doc), after) << c.name;
    EXPECT_EQ(e.folders(), foldersAfter) << c.name;
    EXPECT_TRUE(e.doc.modified) << c.name;
    EXPECT_EQ(e.view.shown, 2) << c.name;
    EXPECT_EQ(e.view.shownWhileEditable, 0) << c.name;
    EXPECT_EQ(e.stack().count(), 1) << c.name << ": showing the document records nothing";
    EXPECT_FALSE(e.doc.updatingControls) << c.name;
  }
}

// The side effects the edits have on the folders come back with undo and
// go again with redo: the effect's class file and the image copies.
TEST(EditHistoryTest, FoldersFollowUndoAndRedo) {
  Editing e;
  EXPECT_EQ(test::classFilesIn(e.fx.required()), std::vector<std::string>{"fade.class"});
  e.editor.cEffectsChange(1);  // Hue Rotator
  EXPECT_EQ(test::classFilesIn(e.fx.required()), std::vector<std::string>{"huecycle.class"});
  e.stack().undo();
  EXPECT_EQ(test::classFilesIn(e.fx.required()), std::vector<std::string>{"fade.class"});
  EXPECT_EQ(e.doc.appletClass, "fade.class");
  EXPECT_TRUE(e.doc.multiImage);
  e.stack().redo();
  EXPECT_EQ(test::classFilesIn(e.fx.required()), std::vector<std::string>{"huecycle.class"});
  EXPECT_FALSE(e.doc.multiImage);

  // An image deleted and brought back by undo has its copies again; one
  // added and taken away by undo has none.
  e.view.selected = 1;
  e.dialogs.answers.push_back(Answer::Yes);
  e.editor.deleteButtonButtonClick();
  EXPECT_FALSE(fileExists(e.fx.required() + "moon.jpg"));
  EXPECT_FALSE(fileExists(e.fx.temp() + "moon.jpg"));
  e.stack().undo();
  EXPECT_EQ(e.doc.imageNames, (std::vector<std::string>{"sun.gif", "moon.jpg"}));
  EXPECT_EQ(readFileBytes(e.fx.required() + "moon.jpg"), test::pictureBytes("picture moon.jpg"));
  EXPECT_EQ(readFileBytes(e.fx.temp() + "moon.jpg"), test::pictureBytes("picture moon.jpg"));

  // Two entries may name one copy: undoing the second's add keeps it.
  e.editor.cEffectsChange(0);
  e.dialogs.openAnswers.push_back(e.pictures / "sun.gif");
  e.editor.bAddImageClick();
  e.stack().undo();
  EXPECT_EQ(e.doc.imageNames, (std::vector<std::string>{"sun.gif", "moon.jpg"}));
  EXPECT_TRUE(fileExists(e.fx.required() + "sun.gif"));
  EXPECT_TRUE(fileExists(e.fx.temp() + "sun.gif"));
}

// Typing in a field is one step per field; typing back to where it began
// leaves no step.
TEST(EditHistoryTest, TypingMergesIntoOneStepPerField) {
  Editing e;
  for (const char* typed : {"n", "ne", "new"}) e.html.eLinkChange(typed);
  for (const char* typed : {"_", "_t"}) e.html.eFrameChange(typed);
  for (const char* typed : {"L", "Lo"}) e.editor.eLoadingMessageChange(typed);
  for (const char* typed : {"<", "<p"}) e.editor.mAltHTMLChange(typed);
  for (int value : {41, 42, 43}) e.editor.eFramesChange(value);
  for (int value : {2, 3}) e.editor.eIncrementChange(value);
  ASSERT_EQ(e.stack().count(), 6);
  EXPECT_EQ(e.stack().undoText().toStdString(), "Change Effect Speed");
  e.stack().undo();
  EXPECT_EQ(e.doc.effectSpeed, 1);
  e.stack().undo();
  EXPECT_EQ(e.doc.frameCount, 40);
  e.stack().undo();
  EXPECT_EQ(e.doc.alternativeHtml, "");
  e.stack().undo();
  EXPECT_EQ(e.doc.loadingMessage, "Loading...");
  e.stack().undo();
  EXPECT_EQ(e.doc.targetFrame, "");
  EXPECT_EQ(e.doc.link, "new");
  e.stack().undo();
  EXPECT_EQ(e.doc.link, "");
  EXPECT_FALSE(e.doc.modified);

  // Steps that do not merge: one per image added.
  Editing images;
  for (const char* name : {"a.gif", "b.gif"}) {
    images.dialogs.openAnswers.push_back(images.picture(name));
    images.editor.bAddImageClick();
  }
  EXPECT_EQ(images.stack().count(), 2);

  Editing back;
  back.html.eLinkChange("x");
  back.html.eLinkChange("");
  EXPECT_EQ(back.stack().count(), 0);
  EXPECT_FALSE(back.doc.modified) << "typed and deleted again: nothing to save";
}

TEST(EditHistoryTest, ModifiedFollowsTheSavedState) {
  Editing e;
  e.editor.eFramesChange(50);
  EXPECT_TRUE(e.doc.modified);
  e.stack().undo();
  EXPECT_FALSE(e.doc.modified);
  e.stack().redo();
  EXPECT_TRUE(e.doc.modified);

  // Saved at 50: typing on is a new step, not merged across the save.
  EXPECT_TRUE(e.commands.saveMenuItemClick());
  EXPECT_FALSE(e.doc.modified);
  e.editor.eFramesChange(51);
  EXPECT_TRUE(e.doc.modified);
  ASSERT_EQ(e.stack().count(), 2);
  e.stack().undo();
  EXPECT_EQ(e.doc.frameCount, 50);
  EXPECT_FALSE(e.doc.modified) << "back at the saved state";
  e.stack().undo();
  EXPECT_EQ(e.doc.frameCount, 40);
  EXPECT_TRUE(e.doc.modified) << "before the saved state";
  e.stack().redo();
  EXPECT_FALSE(e.doc.modified);

  // A cancelled colour dialog is no step, and marks the document modified.
  Editing cancelled;
  cancelled.dialogs.colorAnswers.push_back(std::nullopt);
  cancelled.editor.bkColorBtnClick();
  EXPECT_EQ(cancelled.stack().count(), 0);
  EXPECT_TRUE(cancelled.doc.modified);
}

TEST(EditHistoryTest, NewOpenAndResetLeaveNoSteps) {
  Editing e;
  e.editor.cEffectsChange(12);
  e.html.eLinkChange("a.html");
  ASSERT_EQ(e.stack().count(), 2);

  e.dialogs.openAnswers.push_back(e.saved);
  e.dialogs.answers.push_back(Answer::No);
  e.commands.openMenuItemClick();
  EXPECT_EQ(e.stack().count(), 0) << "the open's own changes are no steps";
  EXPECT_FALSE(e.stack().canUndo());
  EXPECT_FALSE(e.doc.modified);
  EXPECT_EQ(e.doc.imageNames, (std::vector<std::string>{"sun.gif", "moon.jpg"}));

  e.editor.eIncrementChange(9);
  e.dialogs.answers.push_back(Answer::No);
  e.commands.newMenuItemClick();
  EXPECT_EQ(e.stack().count(), 0);
  EXPECT_FALSE(e.doc.modified);

  // The system filling the controls records nothing.
  e.doc.updatingControls = true;
  e.editor.eFramesChange(5);
  e.doc.updatingControls = false;
  EXPECT_EQ(e.stack().count(), 0);
}

}  // namespace
}  // namespace glx
