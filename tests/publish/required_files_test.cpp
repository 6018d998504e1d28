#include "publish/required_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "tests/support/picture_bytes.h"
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
  const std::string a = images.write("one/sun.gif", test::pictureBytes("first"));
  const std::string b = images.write("two/sun.gif", test::pictureBytes("second"));
  files.copyImage(a);
  files.copyImage(b);
  EXPECT_EQ(fx.dir.read("Required Files/sun.gif"), test::pictureBytes("first"));
  EXPECT_EQ(fx.dir.read("Applet Temp/sun.gif"), test::pictureBytes("first"));
  // Deleting either entry removes the shared copy from both folders.
  files.deleteImage(b);
  EXPECT_FALSE(fileExists(fx.required() + "sun.gif"));
  EXPECT_FALSE(fileExists(fx.temp() + "sun.gif"));
  files.deleteImage(a);  // already gone: nothing reported
}

TEST_F(RequiredFilesTest, EditedImageKeepsItsOldCopy) {
  const std::string a = images.write("sun.gif", test::pictureBytes("v1"));
  files.copyImage(a);
  images.write("sun.gif", test::pictureBytes("v2"));
  files.copyImage(a);
  EXPECT_EQ(fx.dir.read("Required Files/sun.gif"), test::pictureBytes("v1"));
}

TEST_F(RequiredFilesTest, VanishedSourceMakesTheFoldersAndCopiesNothing) {
  files.copyImage(images / "gone.jpg");
  EXPECT_TRUE(folderExists(fx.required()));
  EXPECT_TRUE(folderExists(fx.temp()));
  EXPECT_FALSE(fileExists(fx.required() + "gone.jpg"));
}

TEST_F(RequiredFilesTest, DeleteAllImagesLeavesOtherFiles) {
  const std::string a = images.write("a.gif", test::pictureBytes("a"));
  const std::string b = images.write("b.jpg", test::pictureBytes("b"));
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
  const std::string a = images.write("a.gif", test::pictureBytes("a"));
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

// The player beside the class files, while it is wanted.
class PlayerFileTest : public RequiredFilesTest {
 protected:
  PlayerFileTest() {
    fx.dir.write(kPlayerFile, kPlayer);
    files.setPlayerWanted([this] { return wanted; });
  }
  static ino_t inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
  }
  // Anything in the folder that is not a whole file of ours.
  static std::vector<std::string> leftovers(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name.find(".tmp") != std::string::npos) names.push_back(name);
    }
    return names;
  }
  const std::string kPlayer = "// the program's player\n";
  bool wanted = true;
};

TEST_F(PlayerFileTest, KeptBesideTheClassFilesInBothFolders) {
  files.copyClassFile("fade.class", fx.required());
  EXPECT_EQ(fx.dir.read(std::string("Required Files/") + kPlayerFile), kPlayer);
  files.copyClassFiles(fx.temp());
  EXPECT_EQ(fx.dir.read(std::string("Applet Temp/") + kPlayerFile), kPlayer);
  // Also when every class file is there already.
  std::filesystem::remove(fx.temp() + kPlayerFile);
  files.copyClassFiles(fx.temp());
  EXPECT_EQ(fx.dir.read(std::string("Applet Temp/") + kPlayerFile), kPlayer);
  EXPECT_TRUE(leftovers(fx.required()).empty());
  EXPECT_TRUE(leftovers(fx.temp()).empty());
}

TEST_F(PlayerFileTest, ReplacedWhenTheProgramsCopyDiffersLeftAloneWhenEqual) {
  files.copyClassFiles(fx.temp());
  const std::string target = fx.temp() + kPlayerFile;
  const ino_t first = inode(target);
  files.copyClassFiles(fx.temp());
  EXPECT_EQ(inode(target), first) << "an equal copy is not written again";

  // A newer program copy replaces the old one through a new file, so a
  // reader never sees half of it.
  fx.dir.write(kPlayerFile, "// a newer player\n");
  files.copyClassFiles(fx.temp());
  EXPECT_EQ(readFileBytes(target), "// a newer player\n");
  EXPECT_NE(inode(target), first);
  // So does an edited or truncated copy in the folder.
  writeFileAtomic(target, "// a newer");
  files.copyClassFile("fade.class", fx.temp());
  EXPECT_EQ(readFileBytes(target), "// a newer player\n");
  EXPECT_TRUE(leftovers(fx.temp()).empty());
}

TEST_F(PlayerFileTest, NotWantedMeansExactlyTheClassFiles) {
  wanted = false;
  files.copyClassFile("fade.class", fx.required());
  files.copyClassFiles(fx.temp());
  EXPECT_FALSE(pathExists(fx.required() + kPlayerFile));
  EXPECT_FALSE(pathExists(fx.temp() + kPlayerFile));
}

TEST_F(PlayerFileTest, RemovedWithTheClassFiles) {
  files.copyClassFile("fade.class", fx.required());
  ASSERT_TRUE(fileExists(fx.required() + kPlayerFile));
  // The start-up clearing takes the player too; an image stays.
  const std::string a = images.write("a.gif", test::pictureBytes("a"));
  files.copyImage(a);
  files.deleteAllClassFiles(fx.required());
  EXPECT_FALSE(pathExists(fx.required() + kPlayerFile));
  EXPECT_TRUE(fileExists(fx.required() + "a.gif"));
  // Choosing another effect deletes only the old class file.
  files.copyClassFile("fade.class", fx.required());
  files.deleteClassFile(fx.required() + "fade.class");
  EXPECT_TRUE(fileExists(fx.required() + kPlayerFile));
}

TEST_F(PlayerFileTest, MissingProgramCopyOrAFolderInTheWayChangeNothing) {
  std::filesystem::remove(fx.dir / kPlayerFile);
  EXPECT_NO_THROW(files.copyClassFiles(fx.temp()));
  EXPECT_FALSE(pathExists(fx.temp() + kPlayerFile));
  EXPECT_EQ(classFilesIn(fx.temp()).size(), 6u);

  fx.dir.write(kPlayerFile, kPlayer);
  fx.dir.mkdir(std::string("Required Files/") + kPlayerFile);
  EXPECT_NO_THROW(files.copyClassFile("fade.class", fx.required()));
  EXPECT_TRUE(folderExists(fx.required() + kPlayerFile));
  EXPECT_TRUE(fileExists(fx.required() + "fade.class"));
  EXPECT_TRUE(leftovers(fx.required()).empty());
}

TEST_F(PlayerFileTest, ReadFromWhereTheClassFilesAreRead) {
  EXPECT_EQ(dataFilePath(fx.folders, kPlayerFile), fx.dir / kPlayerFile);
  EXPECT_EQ(dataFilePath(fx.folders, "fade.class"), fx.dir / "fade.class");
}

}  // namespace
}  // namespace glx
