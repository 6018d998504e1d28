#include "publish/site_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <set>

#include "platform/file_ops.h"
#include "tests/support/picture_bytes.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

// Every path under a folder, relative to it.
std::set<std::string> listing(const std::string& folder) {
  std::set<std::string> names;
  if (!std::filesystem::exists(folder)) return names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    names.insert(std::filesystem::relative(entry.path(), folder).string());
  return names;
}

ino_t inode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

const std::vector<SiteFile> kSite = {{"sun.gif", "GIF89a sun"}, {"fade.class", "class"}, {"index.html", "<HTML>"}};

TEST(SiteFolder, MakesTheFolderAndItsParentsAndWritesEveryFile) {
  TempDir dir;
  const std::string folder = dir / "site/a/b";
  EXPECT_EQ(writeSiteFolder(folder, kSite, false),
            (std::vector<std::string>{folder + "/sun.gif", folder + "/fade.class", folder + "/index.html"}));
  for (const SiteFile& file : kSite) EXPECT_EQ(readFileBytes(folder + "/" + file.name), file.bytes) << file.name;
  EXPECT_EQ(listing(dir / "site"), (std::set<std::string>{"a", "a/b", "a/b/sun.gif", "a/b/fade.class", "a/b/index.html"}));
  // The folder as given, with its "/", names the files.
  EXPECT_EQ(writeSiteFolder(dir / "other/", {{"x.gif", "x"}}, false), std::vector<std::string>{dir / "other/x.gif"});
}

// Files marked as pictures are checked by their content before anything is
// written; the lock file beside the folder goes with the run.
TEST(SiteFolder, APictureThatIsNoneStopsTheRunBeforeAnythingIsWritten) {
  TempDir dir;
  const std::string folder = dir / "site/www";
  std::vector<SiteFile> files = kSite;
  files.push_back({"pw.gif", "root:x:0:0:root:/root:/bin/bash\n", true});
  try {
    writeSiteFolder(folder, files, true);
    FAIL() << "written";
  } catch (const EPublishError& e) {
    EXPECT_STREQ(e.what(), "pw.gif is not a GIF or JPEG picture.");
  }
  EXPECT_EQ(listing(dir.path()), std::set<std::string>{});
  files.back().bytes = test::pictureBytes("");
  writeSiteFolder(folder, files, true);
  EXPECT_EQ(listing(dir.path()), (std::set<std::string>{"site", "site/www", "site/www/sun.gif", "site/www/fade.class",
                                                        "site/www/index.html", "site/www/pw.gif"}));
}

TEST(SiteFolder, EqualFilesAreNoConflictAndAreNotWrittenAgain) {
  TempDir dir;
  const std::string folder = dir / "site";
  writeSiteFolder(folder, kSite, false);
  const ino_t page = inode(folder + "/index.html");
  std::vector<SiteFile> changed = kSite;
  changed[0].bytes = "GIF89a another sun";
  // Only the differing file is written, and only with leave to replace it.
  EXPECT_EQ(writeSiteFolder(folder, kSite, false), std::vector<std::string>{});
  EXPECT_EQ(writeSiteFolder(folder, changed, true), std::vector<std::string>{folder + "/sun.gif"});
  EXPECT_EQ(readFileBytes(folder + "/sun.gif"), "GIF89a another sun");
  EXPECT_EQ(inode(folder + "/index.html"), page);
}

TEST(SiteFolder, DifferingFilesStopTheWholeRunAndAreNamed) {
  TempDir dir;
  const std::string folder = dir / "site";
  dir.write("site/sun.gif", "someone else's sun");
  dir.write("site/index.html", "someone else's page");
  dir.write("site/notes.txt", "not ours");
  const auto before = listing(folder);
  try {
    writeSiteFolder(folder, kSite, false);
    FAIL() << "no conflict reported";
  } catch (const EPublishConflict& e) {
    EXPECT_EQ(e.paths(), (std::vector<std::string>{folder + "/sun.gif", folder + "/index.html"}));
    EXPECT_EQ(std::string(e.what()),
              "The file \"" + folder + "/sun.gif\" already exists and differs from the one to be published\n"
              "The file \"" + folder + "/index.html\" already exists and differs from the one to be published");
  }
  EXPECT_EQ(listing(folder), before) << "nothing written, not even the class file";
  EXPECT_EQ(dir.read("site/sun.gif"), "someone else's sun");

  writeSiteFolder(folder, kSite, true);
  EXPECT_EQ(dir.read("site/sun.gif"), "GIF89a sun");
  EXPECT_EQ(dir.read("site/index.html"), "<HTML>");
  EXPECT_EQ(dir.read("site/notes.txt"), "not ours");
}

TEST(SiteFolder, FailuresLeaveNothingBehind) {
  const std::string longName(250, 'n');  // a name of its own fits, its temporary name does not
  struct Case {
    const char* name;
    std::function<std::string(TempDir&)> setUp;  // returns the folder
    std::vector<SiteFile> files;
    bool force;
    std::string messageStart;
  };
  const Case cases[] = {
      {"a file where the folder goes", [](TempDir& d) { d.write("site", "a file"); return d / "site"; }, kSite, true,
       "Cannot publish into \""},
      {"a file where a parent goes", [](TempDir& d) { d.write("site", "a file"); return d / "site/a/b"; }, kSite,
       true, "Cannot create the folder \""},
      {"a folder where a file goes", [](TempDir& d) { d.mkdir("site/index.html"); return d / "site"; }, kSite, true,
       "Cannot write \""},
      {"a write that fails after folders and files were made", [](TempDir& d) { return d / "site/a/b"; },
       {{"sun.gif", "sun"}, {longName, "too long a temporary name"}}, false, "Cannot write \""},
      {"a name with a folder in it", [](TempDir& d) { return d / "site"; }, {{"../sun.gif", "sun"}}, false,
       "The name \"../sun.gif\" is not a plain file name"},
      {"two files of one name", [](TempDir& d) { return d / "site"; }, {{"a.gif", "1"}, {"a.gif", "2"}}, false,
       "Two files are named \"a.gif\""},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string folder = c.setUp(dir);
    const auto before = listing(dir.path());
    try {
      writeSiteFolder(folder, c.files, c.force);
      ADD_FAILURE() << c.name << ": no failure";
    } catch (const EPublishError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.messageStart, 0), 0u) << c.name << ": " << e.what();
    }
    EXPECT_EQ(listing(dir.path()), before) << c.name;
  }
}

TEST(SiteFolder, PlainFileNames) {
  for (const char* name : {"sun.gif", "a b.jpg", ".hidden", "caf\xe9.gif"}) EXPECT_TRUE(isPlainFileName(name)) << name;
  for (const std::string& name : std::vector<std::string>{"", ".", "..", "a/b.gif", "/sun.gif", std::string("a\0b", 3)})
    EXPECT_FALSE(isPlainFileName(name)) << name;
}

}  // namespace
}  // namespace glx
