// Adding, deleting and reordering the document's images, without a window:
// a list that the view fake keeps stands in for the list view, and the
// pictures are real files whose copies land in real folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "document/applet_editor.h"
#include "platform/errors.h"
#include "platform/file_ops.h"
#include "publish/picture_check.h"
#include "tests/support/picture_bytes.h"
#include "tests/support/program_folder_fixture.h"
#include "tests/support/raised_text.h"

namespace glx {
namespace {

const char* const kOneImageOnly = "The effect you have selected only works with one image.";
const char* const kNoneSelected = "  I cannot delete an image because\nyou do not have any image selected.";
const char* const kDeleteQuestion = "Are you sure you want to delete the selected image?";

// The list view as the document sees it: the rows it shows, its selection,
// and what it was asked to do, in order.
class ListView : public NullDocumentView {
 public:
  explicit ListView(const AppletDocument& d) : doc(d) {}
  void clearImageList() override {
    rows.clear();
    calls.push_back("clear");
  }
  void addImageItem(const std::string& name) override {
    rows.push_back(name);
    calls.push_back("add " + name);
  }
  void removeImageItem(int index) override {
    calls.push_back("remove " + std::to_string(index));
    updatingWhenRemoved = doc.updatingControls;
    if (failRemove) throw std::runtime_error("the list refused");
    rows.erase(rows.begin() + index);
  }
  void updateListbox() override {
    rows = doc.imageNames;
    selected = -1;  // a rebuild loses the selection
    calls.push_back("rebuild");
  }
  int selectedImageItem() override { return selected; }

  const AppletDocument& doc;
  std::vector<std::string> rows;
  int selected = -1;
  std::vector<std::string> calls;
  bool updatingWhenRemoved = false;
  bool failRemove = false;
};

class AppletEditorImagesTest : public ::testing::Test {
 protected:
  void SetUp() override { editor.setDefaults(); }

  // A picture outside the program's folders, as the user would pick one.
  std::string picture(const std::string& name) { return pictures.write(name, test::pictureBytes("picture " + name)); }

  void add(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
      dialogs.openAnswers.push_back(path);
      editor.bAddImageClick();
    }
    view.calls.clear();
  }

  test::ProgramFolderFixture fx;
  test::TempDir pictures;
  test::RecordingShell shell;
  test::ScriptedDialogs dialogs;
  AppletDocument doc;
  ListView view{doc};
  RequiredFiles files{fx.folders, shell};
  AppletEditor editor{doc, files, dialogs, view};
};

TEST_F(AppletEditorImagesTest, AddCopiesTheImageAndShowsIt) {
  const std::string sun = picture("sun.gif");
  dialogs.openAnswers.push_back(sun);
  editor.bAddImageClick();
  ASSERT_EQ(dialogs.openDialogs.size(), 1u);
  EXPECT_EQ(dialogs.openDialogs[0].title, "Open Image");
  EXPECT_EQ(dialogs.openDialogs[0].filter,
            "All Compatible Image Files (*.jpg *.gif);;JPEG Image Files (*.jpg);;GIF Image Files (*.gif)");
  EXPECT_TRUE(dialogs.openDialogs[0].preview);
  EXPECT_EQ(doc.imageNames, std::vector<std::string>{"sun.gif"});
  EXPECT_EQ(doc.imagePaths, std::vector<std::string>{sun});
  EXPECT_TRUE(doc.modified);
  EXPECT_EQ(fx.dir.read("Required Files/sun.gif"), test::pictureBytes("picture sun.gif"));
  EXPECT_EQ(readFileBytes(fx.temp() + "sun.gif"), test::pictureBytes("picture sun.gif"));
  EXPECT_EQ(view.calls, (std::vector<std::string>{"clear", "add sun.gif", "rebuild"}));
  EXPECT_EQ(view.rows, std::vector<std::string>{"sun.gif"});
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(AppletEditorImagesTest, CancelledDialogAddsNothing) {
  view.calls.clear();
  dialogs.openAnswers.push_back(std::nullopt);
  editor.bAddImageClick();
  EXPECT_EQ(dialogs.openDialogs.size(), 1u);
  EXPECT_TRUE(doc.imageNames.empty());
  EXPECT_TRUE(doc.imagePaths.empty());
  EXPECT_FALSE(doc.modified);
  EXPECT_TRUE(view.calls.empty());
}

// The list keeps the order of adding; two pictures of one name from two
// folders keep the first one's copy, as the required-files folder holds one
// file per name.
TEST_F(AppletEditorImagesTest, ImagesAreAddedInOrderAndAFileIsNeverOverwritten) {
  const std::string first = picture("a.gif");
  const std::string second = picture("b.jpg");
  const std::string sameName = pictures.write("other/a.gif", test::pictureBytes("another a.gif"));
  add({first, second, sameName});
  EXPECT_EQ(doc.imageNames, (std::vector<std::string>{"a.gif", "b.jpg", "a.gif"}));
  EXPECT_EQ(doc.imagePaths, (std::vector<std::string>{first, second, sameName}));
  EXPECT_EQ(view.rows, doc.imageNames);
  EXPECT_EQ(fx.dir.read("Required Files/a.gif"), test::pictureBytes("picture a.gif"));
  EXPECT_EQ(fx.dir.read("Required Files/b.jpg"), test::pictureBytes("picture b.jpg"));
}

// A path that names no file (moved away since it was chosen) is listed,
// and nothing is copied for it.
TEST_F(AppletEditorImagesTest, MissingPictureIsListedWithoutACopy) {
  const std::string gone = pictures / "gone.gif";
  dialogs.openAnswers.push_back(gone);
  editor.bAddImageClick();
  EXPECT_EQ(doc.imageNames, std::vector<std::string>{"gone.gif"});
  EXPECT_TRUE(doc.modified);
  EXPECT_FALSE(fileExists(fx.required() + "gone.gif"));
  EXPECT_FALSE(fileExists(fx.temp() + "gone.gif"));
}

// Add Image takes only what is a GIF or JPEG picture by its content: the
// refusal names the file, and the document and both folders stay as they
// were.
TEST_F(AppletEditorImagesTest, AFileThatIsNoPictureIsRefused) {
  add({picture("sun.gif")});
  struct Case {
    const char* name;
    std::string file;
    std::string bytes;
  };
  const Case cases[] = {
      {"a text file named .gif", "pw.gif", "root:x:0:0:root:/root:/bin/bash\n"},
      {"a PNG named .jpg", "photo.jpg", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)},
      {"a GIF cut in its header", "cut.gif", std::string("GIF89a\x01\x00", 8)},
  };
  for (const Case& c : cases) {
    dialogs.openAnswers.push_back(pictures.write(c.file, c.bytes));
    doc.modified = false;
    EXPECT_EQ(test::raisedText<ENotAPicture>([&] { editor.bAddImageClick(); }), c.file + " is not a GIF or JPEG picture.")
        << c.name;
    EXPECT_EQ(doc.imageNames, std::vector<std::string>{"sun.gif"}) << c.name;
    EXPECT_EQ(doc.imagePaths.size(), 1u) << c.name;
    EXPECT_EQ(view.rows, std::vector<std::string>{"sun.gif"}) << c.name;
    EXPECT_FALSE(doc.modified) << c.name;
    EXPECT_FALSE(pathExists(fx.required() + c.file)) << c.name;
    EXPECT_FALSE(pathExists(fx.temp() + c.file)) << c.name;
  }
}

TEST_F(AppletEditorImagesTest, SingleImageEffectRefusesASecondImageBeforeAsking) {
  editor.cEffectsChange(1);  // Hue Rotator
  ASSERT_FALSE(doc.multiImage);
  add({picture("a.gif")});
  doc.modified = false;
  editor.bAddImageClick();
  EXPECT_EQ(dialogs.openDialogs.size(), 1u);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{kOneImageOnly});
  EXPECT_EQ(doc.imageNames, std::vector<std::string>{"a.gif"});
  EXPECT_FALSE(doc.modified);
  EXPECT_TRUE(view.calls.empty());
}

// The folder cannot be made: the error reaches the caller with its text,
// and the two lists stay parallel.
// Several files chosen at once in the dialog, and files dropped on the
// window, go through one operation: in order, each copied, one rebuild.
TEST_F(AppletEditorImagesTest, SeveralFilesAtOnceAreAddedInOrder) {
  const std::string a = picture("a.gif"), b = picture("b.jpg"), c = picture("c.gif");
  view.calls.clear();
  dialogs.openFilesAnswers.push_back(std::vector<std::string>{b, a, c});
  editor.bAddImageClick();
  ASSERT_EQ(dialogs.multiOpenDialogs.size(), 1u);
  EXPECT_EQ(dialogs.multiOpenDialogs[0].title, "Open Image");
  EXPECT_TRUE(dialogs.multiOpenDialogs[0].preview);
  EXPECT_EQ(doc.imageNames, (std::vector<std::string>{"b.jpg", "a.gif", "c.gif"}));
  EXPECT_EQ(doc.imagePaths, (std::vector<std::string>{b, a, c}));
  EXPECT_EQ(view.calls, (std::vector<std::string>{"add b.jpg", "add a.gif", "add c.gif", "rebuild"}));
  for (const char* name : {"a.gif", "b.jpg", "c.gif"})
    EXPECT_EQ(fx.dir.read(std::string("Required Files/") + name), test::pictureBytes(std::string("picture ") + name)) << name;
  EXPECT_TRUE(doc.modified);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(AppletEditorImagesTest, OneImageEffectTakesTheFirstOfSeveralAndSaysSoOnce) {
  editor.cEffectsChange(1);  // "Hue Rotator"
  doc.modified = false;
  const std::string a = picture("a.gif"), b = picture("b.gif"), c = picture("c.gif");
  EXPECT_EQ(editor.addImageFiles({a, b, c}), 1u);
  EXPECT_EQ(doc.imagePaths, std::vector<std::string>{a});
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{kOneImageOnly});
  EXPECT_FALSE(fileExists(fx.required() + "b.gif"));
  // With its one image there, nothing more goes in.
  dialogs.messages.clear();
  EXPECT_EQ(editor.addImageFiles({b}), 0u);
  EXPECT_EQ(doc.imagePaths, std::vector<std::string>{a});
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{kOneImageOnly});
  // Nothing to add changes nothing.
  view.calls.clear();
  EXPECT_EQ(editor.addImageFiles({}), 0u);
  EXPECT_TRUE(view.calls.empty());
}

TEST_F(AppletEditorImagesTest, UnmakeableTempFolderRaisesAndKeepsTheListsParallel) {
  ASSERT_FALSE(folderExists(fx.temp()));
  fx.dir.write("Applet Temp", "a file where the folder goes");
  dialogs.openAnswers.push_back(picture("a.gif"));
  EXPECT_EQ(test::raisedText<EInOutError>([&] { editor.bAddImageClick(); }), "I/O error 17");
  EXPECT_EQ(doc.imageNames.size(), doc.imagePaths.size());
}

TEST_F(AppletEditorImagesTest, DeleteAskedAndAnswered) {
  struct Case {
    const char* name;
    int selected;
    std::optional<Answer> answer;  // none: nothing asked
    std::vector<std::string> message;
    std::vector<std::string> left;
  };
  const std::vector<std::string> all{"a.gif", "b.gif", "c.gif"};
  const Case cases[] = {
      {"first, Yes", 0, Answer::Yes, {}, {"b.gif", "c.gif"}},
      {"middle, Yes", 1, Answer::Yes, {}, {"a.gif", "c.gif"}},
      {"last, Yes", 2, Answer::Yes, {}, {"a.gif", "b.gif"}},
      {"No", 1, Answer::No, {}, all},
      {"Cancel", 1, Answer::Cancel, {}, all},
      {"nothing selected", -1, std::nullopt, {kNoneSelected}, all},
      // A selection the document no longer has (the list was not rebuilt).
      {"stale selection", 3, Answer::Yes, {}, all},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ProgramFolderFixture folders;
    RequiredFiles caseFiles{folders.folders, shell};
    AppletDocument d;
    ListView list{d};
    test::ScriptedDialogs asked;
    AppletEditor e{d, caseFiles, asked, list};
    e.setDefaults();
    for (const auto& n : all) {
      asked.openAnswers.push_back(picture(n));
      e.bAddImageClick();
    }
    d.modified = false;
    list.calls.clear();
    list.selected = c.selected;
    if (c.answer) asked.answers.push_back(*c.answer);

    e.deleteButtonButtonClick();

    EXPECT_EQ(asked.questions, c.answer ? std::vector<std::string>{kDeleteQuestion} : std::vector<std::string>{});
    EXPECT_EQ(asked.messages, c.message);
    EXPECT_EQ(d.imageNames, c.left);
    ASSERT_EQ(d.imagePaths.size(), c.left.size());
    for (size_t i = 0; i < c.left.size(); ++i) EXPECT_EQ(bareFileName(d.imagePaths[i]), c.left[i]);
    EXPECT_EQ(list.rows, c.left);
    const bool deleted = c.left.size() < all.size();
    EXPECT_EQ(d.modified, deleted);
    for (const auto& n : all) {
      const bool kept = std::find(c.left.begin(), c.left.end(), n) != c.left.end();
      EXPECT_EQ(fileExists(folders.required() + n), kept) << n;
      EXPECT_EQ(fileExists(folders.temp() + n), kept) << n;
      EXPECT_TRUE(fileExists(pictures / n)) << "the user's own picture stays: " << n;
    }
    if (deleted) {
      EXPECT_EQ(d.selectedImage, c.selected);
      const std::vector<std::string> expected{"remove " + std::to_string(c.selected), "rebuild"};
      EXPECT_EQ(list.calls, expected);
      // The list's change events ignore the entry going.
      EXPECT_TRUE(list.updatingWhenRemoved);
    } else {
      EXPECT_TRUE(list.calls.empty());
    }
    EXPECT_FALSE(d.updatingControls);
  }
}

// Deleting by the list's own selection, again and again, empties it.
TEST_F(AppletEditorImagesTest, DeleteEveryImageInTurn) {
  add({picture("a.gif"), picture("b.gif")});
  for (int round = 0; round < 2; ++round) {
    view.selected = 0;
    dialogs.answers.push_back(Answer::Yes);
    editor.deleteButtonButtonClick();
  }
  EXPECT_TRUE(doc.imageNames.empty());
  EXPECT_TRUE(doc.imagePaths.empty());
  EXPECT_TRUE(view.rows.empty());
  EXPECT_FALSE(fileExists(fx.required() + "a.gif"));
  EXPECT_FALSE(fileExists(fx.required() + "b.gif"));
  // The effect's class file is not an image and stays.
  EXPECT_TRUE(fileExists(fx.required() + "fade.class"));
  view.selected = 0;  // a list that still shows a row the document lost
  dialogs.answers.push_back(Answer::Yes);
  editor.deleteButtonButtonClick();
  EXPECT_EQ(dialogs.questions.size(), 3u);
}

// An exception from the list while the entry goes still clears
// updatingControls, so the next edit is not ignored.
TEST_F(AppletEditorImagesTest, FailureWhileDeletingClearsUpdatingControls) {
  add({picture("a.gif"), picture("b.gif")});
  doc.modified = false;
  view.selected = 1;
  view.failRemove = true;
  dialogs.answers.push_back(Answer::Yes);
  EXPECT_THROW(editor.deleteButtonButtonClick(), std::runtime_error);
  EXPECT_TRUE(view.updatingWhenRemoved);
  EXPECT_FALSE(doc.updatingControls);
  EXPECT_EQ(doc.imageNames, (std::vector<std::string>{"a.gif", "b.gif"}));
  EXPECT_EQ(doc.imagePaths.size(), 2u);
  EXPECT_FALSE(doc.modified);
  EXPECT_EQ(editor.eLoadingMessageChange("typed"), "typed");
  EXPECT_TRUE(doc.modified);
}

// Drops, from the list's row to the row dropped on; both lists move alike
// and the list is shown again only when the order changed.
TEST_F(AppletEditorImagesTest, DropReordersBothLists) {
  struct Case {
    const char* name;
    int source;
    int target;
    std::vector<std::string> order;
  };
  const std::vector<std::string> unchanged{"1.gif", "2.gif", "3.gif", "4.gif"};
  const Case cases[] = {
      {"fourth on second", 3, 1, {"1.gif", "4.gif", "2.gif", "3.gif"}},
      {"first on third", 0, 2, {"2.gif", "3.gif", "1.gif", "4.gif"}},
      {"first on last", 0, 3, {"2.gif", "3.gif", "4.gif", "1.gif"}},
      {"on itself", 2, 2, unchanged},
      {"on empty space", 2, -1, unchanged},
      {"nothing dragged", -1, 1, unchanged},
      {"past the end", 1, 4, unchanged},
  };
  std::vector<std::string> paths;
  for (const auto& n : unchanged) paths.push_back(picture(n));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    doc.imageNames = unchanged;
    doc.imagePaths = paths;
    view.rows = unchanged;
    view.calls.clear();
    doc.modified = false;
    editor.imageListBoxDragDrop(c.source, c.target);
    EXPECT_EQ(doc.imageNames, c.order);
    ASSERT_EQ(doc.imagePaths.size(), c.order.size());
    for (size_t i = 0; i < c.order.size(); ++i) EXPECT_EQ(doc.imagePaths[i], pictures / c.order[i]);
    EXPECT_EQ(view.rows, c.order);
    const bool moved = c.order != unchanged;
    EXPECT_EQ(doc.modified, moved);
    EXPECT_EQ(view.calls, moved ? std::vector<std::string>{"rebuild"} : std::vector<std::string>{});
  }
  // Moving copies nothing and deletes nothing.
  for (const auto& n : unchanged) EXPECT_FALSE(fileExists(fx.required() + n)) << n;
}

}  // namespace
}  // namespace glx
