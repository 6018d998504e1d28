#include "publish/required_files.h"

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "tests/support/program_folder_fixture.h"

namespace glx {
namespace {

using test::classFilesIn;

class RequiredFilesTest : public ::testing::Test {
 protected:
  test::ProgramFolderFixture fx;
  test::TempDir images;
  test::RecordingShell shell;
  RequiredFiles files{fx.folders, shell};
};

TEST_F(RequiredFilesTest, ClassFilesCopiedOnceAndDeletedTogether) {
  files.copyClassFiles(fx.temp());
  EXPECT_EQ(classFilesIn(fx.temp()),
            (std::vector<std::string>{"colorwarp.class", "fade.class", "huecycle.class", "pageflip.class",
                                      "underwater.class", "warp.class"}));
  // An existing copy is never overwritten.
  writeFileAtomic(fx.temp() + "fade.class", "kept");
  files.copyClassFiles(fx.temp());
  EXPECT_EQ(fx.dir.read("Applet Temp/fade.class"), "kept");
  files.deleteAllClassFiles(fx.temp());
  EXPECT_TRUE(classFilesIn(fx.temp()).empty());
  files.deleteAllClassFiles(fx.temp());  // nothing there: still fine
}

TEST_F(RequiredFilesTest, ImagesWithTheSameNameShareOneCopy) {
  const std::string a = images.write("one/sun.gif", "first");
  const std::string b = images.write("two/sun.gif", "second");
  files.copyImage(a);
  files.copyImage(b);
  EXPECT_EQ(fx.dir.read("Required Files/sun.gif"), "first");
  EXPECT_EQ(fx.dir.read("Applet Temp/sun.gif"), "first");
  // Deleting either entry removes the shared copy from both folders.
  files.deleteImage(b);
  EXPECT_FALSE(fileExists(fx.required() + "sun.gif"));
  EXPECT_FALSE(fileExists(fx.temp() + "sun.gif"));
  files.deleteImage(a);  // already gone: nothing reported
}

TEST_F(RequiredFilesTest, EditedImageKeepsItsOldCopy) {
  const std::string a = images.write("sun.gif", "v1");
  files.copyImage(a);
  images.write("sun.gif", "v2");
  files.copyImage(a);
  EXPECT_EQ(fx.dir.read("Required Files/sun.gif"), "v1");
}

TEST_F(RequiredFilesTest, VanishedSourceMakesTheFoldersAndCopiesNothing) {
  files.copyImage(images / "gone.jpg");
  EXPECT_TRUE(folderExists(fx.required()));
  EXPECT_TRUE(folderExists(fx.temp()));
  EXPECT_FALSE(fileExists(fx.required() + "gone.jpg"));
}

TEST_F(RequiredFilesTest, DeleteAllImagesLeavesOtherFiles) {
  const std::string a = images.write("a.gif", "a");
  const std::string b = images.write("b.jpg", "b");
  files.copyImage(a);
  files.copyImage(b);
  files.copyClassFile("fade.class", fx.required());
  files.deleteAllImages({a, b});
  EXPECT_FALSE(fileExists(fx.required() + "a.gif"));
  EXPECT_FALSE(fileExists(fx.temp() + "b.jpg"));
  EXPECT_TRUE(fileExists(fx.required() + "fade.class"));
  files.deleteAllImages({});
}

TEST_F(RequiredFilesTest, FolderThatCannotBeMadeIsTheOnlyError) {
  fx.dir.write("Applet Temp", "a file where the folder goes");
  const std::string a = images.write("a.gif", "a");
  EXPECT_THROW(files.copyImage(a), EInOutError);
  // The step before the failure was done, nothing after it.
  EXPECT_TRUE(folderExists(fx.required()));
  EXPECT_FALSE(fileExists(fx.required() + "a.gif"));
  EXPECT_THROW(files.copyClassFiles(fx.temp()), EInOutError);
  // Copies into a missing folder fail silently.
  EXPECT_NO_THROW(files.deleteClassFile(fx.dir / "missing/fade.class"));
  EXPECT_NO_THROW(files.deleteClassFile(fx.required()));
}

TEST_F(RequiredFilesTest, RequiredFilesLinkMakesAndOpensTheFolder) {
  files.lImagesFolderClick();
  EXPECT_TRUE(folderExists(fx.required()));
  ASSERT_EQ(shell.executed.size(), 1u);
  EXPECT_EQ(shell.executed[0].fileName, fx.required());
  EXPECT_EQ(shell.executed[0].parameters, fx.required());
  EXPECT_EQ(shell.executed[0].defaultFolder, fx.required());
  EXPECT_EQ(shell.executed[0].showCommand, 5);
}

}  // namespace
}  // namespace glx
