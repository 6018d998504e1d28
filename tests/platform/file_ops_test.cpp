#include "platform/file_ops.h"

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/shell.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

#include <sys/stat.h>

namespace glx {
namespace {

using test::TempDir;

TEST(FileOps, ExistenceTellsFilesFromFolders) {
  TempDir dir;
  dir.write("a.txt", "x");
  dir.mkdir("sub");
  EXPECT_TRUE(fileExists(dir / "a.txt"));
  EXPECT_FALSE(folderExists(dir / "a.txt"));
  EXPECT_TRUE(folderExists(dir / "sub"));
  EXPECT_FALSE(fileExists(dir / "sub"));
  EXPECT_FALSE(fileExists(dir / "missing"));
  EXPECT_FALSE(fileExists(""));
}

TEST(FileOps, CopyNeverOverwritesAndFailsSilently) {
  TempDir dir;
  dir.write("src", "new");
  dir.write("dst", "old");
  EXPECT_FALSE(copyFileNoOverwrite(dir / "src", dir / "dst"));
  EXPECT_EQ(dir.read("dst"), "old");
  EXPECT_TRUE(copyFileNoOverwrite(dir / "src", dir / "copy"));
  EXPECT_EQ(dir.read("copy"), "new");
  EXPECT_FALSE(copyFileNoOverwrite(dir / "missing", dir / "other"));
  EXPECT_FALSE(fileExists(dir / "other"));
  EXPECT_FALSE(copyFileNoOverwrite(dir / "src", dir / "no-such-folder/x"));
}

TEST(FileOps, DeleteIgnoresMissingFilesAndFolders) {
  TempDir dir;
  dir.write("a", "x");
  dir.mkdir("sub");
  deleteFileQuiet(dir / "a");
  deleteFileQuiet(dir / "a");
  deleteFileQuiet(dir / "sub");
  EXPECT_FALSE(fileExists(dir / "a"));
  EXPECT_TRUE(folderExists(dir / "sub"));
}

TEST(FileOps, CreateFolderRaisesInputOutputError) {
  TempDir dir;
  createFolder(dir / "new/");
  EXPECT_TRUE(folderExists(dir / "new"));
  createFolder(dir / "new/");  // an existing folder is fine
  dir.write("file", "x");
  try {
    createFolder(dir / "file/");
    FAIL() << "a file standing where the folder goes must raise";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), "I/O error 17");
  }
  try {
    createFolder(dir / "missing/parent/");
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), "File not found");
  }
}

TEST(FileOps, AtomicWriteKeepsOldFileOnFailure) {
  TempDir dir;
  dir.write("f", "old");
  writeFileAtomic(dir / "f", "new\r\n");
  EXPECT_EQ(dir.read("f"), "new\r\n");
  // A folder in the target's place: the rename fails and nothing is left behind.
  dir.mkdir("d");
  dir.write("d/keep", "k");
  EXPECT_THROW(writeFileAtomic(dir / "d", "x"), EInOutError);
  EXPECT_EQ(dir.read("d/keep"), "k");
  EXPECT_THROW(writeFileAtomic(dir / "gone/f", "x"), EInOutError);
}

TEST(FileOps, PathParts) {
  EXPECT_EQ(bareFileName("/a/b/c.gif"), "c.gif");
  EXPECT_EQ(bareFileName("c.gif"), "c.gif");
  EXPECT_EQ(bareFileName("/a/b/"), "");
  EXPECT_EQ(folderOf("/a/b/c.gif"), "/a/b/");
  EXPECT_EQ(folderOf("c.gif"), "");
}

TEST(Errors, StrToIntAcceptsWhatTheRunTimeAccepts) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {
      {"0", true, 0},           {"42", true, 42},         {" 7 ", true, 7},
      {"-5", true, -5},         {"$FF", true, 255},       {"$FFFFFFFF", true, -1},
      {"2147483647", true, 2147483647}, {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0}, {"", false, 0},           {"abc", false, 0},
      {"12x", false, 0},        {"$", false, 0},          {"-", false, 0},
  };
  for (const auto& c : cases) {
    if (c.ok) {
      EXPECT_EQ(strToInt(c.text), c.value) << c.text;
    } else {
      try {
        strToInt(c.text);
        ADD_FAILURE() << c.text;
      } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), std::string("'") + c.text + "' is not a valid integer value");
      }
    }
  }
}

TEST(DesktopShell, ExecuteFileStartsProgramsAndOpensEverythingElse) {
  TempDir dir;
  const std::string script = dir.write("browser", "#!/bin/sh\nexit 0\n");
  ::chmod(script.c_str(), 0755);
  dir.write("page.html", "<html></html>");
  dir.mkdir("folder");
  test::RecordingLauncher launcher;
  DesktopShell shell(launcher);

  shell.executeFile("browser", "\"/tmp/Applet Temp/page.html\" -x", dir.path(), 5);
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0].program, dir / "browser");
  EXPECT_EQ(launcher.started[0].arguments, (std::vector<std::string>{"/tmp/Applet Temp/page.html", "-x"}));
  EXPECT_EQ(launcher.started[0].workingFolder, dir.path());

  shell.executeFile(dir / "folder/", dir / "folder/", dir / "folder/", 5);
  shell.executeFile("page.html", "", dir.path(), 5);
  shell.open("http://www.tallowbrook.example/");
  EXPECT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.opened,
            (std::vector<std::string>{dir / "folder/", dir / "page.html", "http://www.tallowbrook.example/"}));
}

}  // namespace
}  // namespace glx
