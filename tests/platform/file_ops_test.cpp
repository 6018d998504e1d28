#include "platform/file_ops.h"

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/shell.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

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

// Saving through a symbolic link writes the file it names and leaves the
// link in place; the replaced file keeps its permissions.
TEST(FileOps, AtomicWriteFollowsLinksAndKeepsTheMode) {
  struct Case {
    const char* name;
    std::string link;    // what the written path is: a link to this, or "" for the file itself
    mode_t mode;         // the old file's mode
  };
  const Case cases[] = {
      {"a plain private file", "", 0600},
      {"a group-readable file", "", 0640},
      {"an absolute link", "@abs", 0600},
      {"a relative link", "real/target.glx", 0600},
      {"a link to a link", "chain", 0640},
      {"an executable script", "", 0750},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string real = dir.write("real/target.glx", "old");
    ASSERT_EQ(::chmod(real.c_str(), c.mode), 0);
    std::string written = real;
    const std::string link(c.link);
    if (!link.empty()) {
      written = dir / "link.glx";
      if (link == "@abs") {
        ASSERT_EQ(::symlink(real.c_str(), written.c_str()), 0);
      } else if (link == "chain") {
        ASSERT_EQ(::symlink(real.c_str(), (dir / "middle.glx").c_str()), 0);
        ASSERT_EQ(::symlink("middle.glx", written.c_str()), 0);
      } else {
        ASSERT_EQ(::symlink(link.c_str(), written.c_str()), 0);
      }
    }
    writeFileAtomic(written, "new\r\n");
    EXPECT_EQ(dir.read("real/target.glx"), "new\r\n") << c.name;
    struct stat st;
    ASSERT_EQ(::lstat(written.c_str(), &st), 0) << c.name;
    EXPECT_EQ(S_ISLNK(st.st_mode), !link.empty()) << c.name << ": the link must stay a link";
    ASSERT_EQ(::stat(real.c_str(), &st), 0) << c.name;
    EXPECT_EQ(st.st_mode & 07777, c.mode) << c.name;
    // Nothing is left beside either the link or the file.
    EXPECT_EQ(QDir(QString::fromStdString(dir / "real")).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << c.name;
  }
}

TEST(FileOps, AtomicWriteThroughADanglingLinkCreatesItsTarget) {
  TempDir dir;
  dir.mkdir("real");
  ASSERT_EQ(::symlink("real/new.glx", (dir / "link.glx").c_str()), 0);
  writeFileAtomic(dir / "link.glx", "x");
  EXPECT_EQ(dir.read("real/new.glx"), "x");
  struct stat st;
  ASSERT_EQ(::lstat((dir / "link.glx").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  // A loop of links is an error, not a hang, and creates nothing.
  ASSERT_EQ(::symlink("loop-b", (dir / "loop-a").c_str()), 0);
  ASSERT_EQ(::symlink("loop-a", (dir / "loop-b").c_str()), 0);
  EXPECT_THROW(writeFileAtomic(dir / "loop-a", "x"), EInOutError);
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

// No message quotes more than 80 characters of a value: a longer one is
// cut there (never inside a UTF-8 character) and its length is given.
TEST(Errors, MessagesQuoteAtMostEightyCharactersOfAValue) {
  const std::string eighty(80, '7');
  const std::string euro = "\xE2\x82\xAC";  // three bytes
  struct Case {
    const char* name;
    std::string value;
    std::string quoted;
  } cases[] = {
      {"empty", "", "''"},
      {"short", "two", "'two'"},
      {"exactly 80", eighty, "'" + eighty + "'"},
      {"81", eighty + "7", "'" + eighty + "...' (81 characters)"},
      {"50 MB", std::string(50 << 20, '7'), "'" + eighty + "...' (52,428,800 characters)"},
      {"a character across the cut", std::string(79, 'a') + euro + "b", "'" + std::string(79, 'a') + "...' (83 characters)"},
      {"a character ending at the cut", std::string(77, 'a') + euro + "b", "'" + std::string(77, 'a') + euro + "...' (81 characters)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(quotedValue(c.value), c.quoted) << c.name;
    try {
      strToInt(c.value);
      ADD_FAILURE() << c.name;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), c.quoted + " is not a valid integer value") << c.name;
    }
  }
  EXPECT_EQ(quotedValue(eighty + "x", '"'), "\"" + eighty + "...\" (81 characters)");
  EXPECT_EQ(shownValue("pw.gif"), "pw.gif");
  EXPECT_EQ(shownValue(eighty + "x"), eighty + "... (81 characters)");
  const std::pair<size_t, const char*> numbers[] = {{0, "0"},         {999, "999"},           {1000, "1,000"},
                                                    {81, "81"},       {123456, "123,456"},    {1234567, "1,234,567"},
                                                    {52428800, "52,428,800"}};
  for (const auto& [number, text] : numbers) EXPECT_EQ(withThousandsSeparators(number), text);
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
