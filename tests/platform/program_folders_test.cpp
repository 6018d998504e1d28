#include "platform/program_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>

#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

TEST(ProgramFolders, OneFolderHoldsDataAndWorkingFolders) {
  const ProgramFolders folders("/opt/glimmerax");
  EXPECT_EQ(folders.programFolder(), "/opt/glimmerax/");
  EXPECT_EQ(folders.dataFolder(), "/opt/glimmerax/");
  EXPECT_EQ(folders.workFolder(), "/opt/glimmerax/");
  EXPECT_EQ(folders.requiredFilesFolder(), "/opt/glimmerax/Required Files/");
  EXPECT_EQ(folders.appletTempFolder(), "/opt/glimmerax/Applet Temp/");
  EXPECT_EQ(folders.usageLogPath(), "/opt/glimmerax/config.data");
}

TEST(ProgramFolders, WorkingFoldersFollowTheWorkFolder) {
  const ProgramFolders folders("/usr/share/glimmerax", "/home/ann/.local/share/glimmerax");
  EXPECT_EQ(folders.programFolder(), "/usr/share/glimmerax/") << "the data files are read here";
  EXPECT_EQ(folders.requiredFilesFolder(), "/home/ann/.local/share/glimmerax/Required Files/");
  EXPECT_EQ(folders.appletTempFolder(), "/home/ann/.local/share/glimmerax/Applet Temp/");
  EXPECT_EQ(folders.usageLogPath(), "/home/ann/.local/share/glimmerax/config.data");
}

TEST(ProgramFolders, LocateDecidesWhereDataAndWorkingFoldersAre) {
  const std::string xdg = "/home/ann/.local/share/glimmerax/";
  struct Case {
    const char* name;
    const char* executableFolder;
    std::set<std::string> dataIn;
    std::set<std::string> writable;
    std::string data, work;
  };
  const Case cases[] = {
      {"build tree or copied folder", "/build/bin", {"/build/bin/"}, {"/build/bin/"}, "/build/bin/", "/build/bin/"},
      {"copied folder that cannot be written", "/media/cd/glx/", {"/media/cd/glx/"}, {}, "/media/cd/glx/", xdg},
      {"installed", "/usr/bin", {"/usr/share/glimmerax/"}, {"/usr/bin/"}, "/usr/share/glimmerax/", xdg},
      {"installed in a prefix", "/opt/glx/bin/", {"/opt/glx/share/glimmerax/"}, {"/opt/glx/bin/"},
       "/opt/glx/share/glimmerax/", xdg},
      {"data beside wins", "/usr/bin", {"/usr/bin/", "/usr/share/glimmerax/"}, {}, "/usr/bin/", xdg},
      {"no data anywhere, writable", "/usr/bin", {}, {"/usr/bin/"}, "/usr/bin/", "/usr/bin/"},
      {"no data anywhere", "/usr/bin", {}, {}, "/usr/bin/", xdg},
  };
  for (const Case& c : cases) {
    ProgramFolders::Probe probe;
    probe.holdsData = [&](const std::string& f) { return c.dataIn.count(f) > 0; };
    probe.writable = [&](const std::string& f) { return c.writable.count(f) > 0; };
    probe.xdgDataFolder = xdg;
    const ProgramFolders folders = ProgramFolders::locate(c.executableFolder, probe);
    EXPECT_EQ(folders.dataFolder(), c.data) << c.name;
    EXPECT_EQ(folders.workFolder(), c.work) << c.name;
  }
}

TEST(ProgramFolders, SystemProbeLooksAtRealFolders) {
  TempDir dir;
  dir.write("prefix/share/glimmerax/fade.class", "class file");
  dir.mkdir("prefix/bin");
  dir.write("copy/fade.class", "class file");
  dir.write("bare/other.txt", "x");
  // A folder named like the marker does not make a data folder.
  dir.mkdir("fake/fade.class");
  ProgramFolders::Probe probe = ProgramFolders::systemProbe();
  probe.xdgDataFolder = dir / "xdg/glimmerax/";
  const ProgramFolders installed = ProgramFolders::locate(dir / "prefix/bin", probe);
  EXPECT_EQ(installed.dataFolder(), dir / "prefix/share/glimmerax/");
  EXPECT_EQ(installed.workFolder(), dir / "xdg/glimmerax/");
  const ProgramFolders copied = ProgramFolders::locate(dir / "copy", probe);
  EXPECT_EQ(copied.dataFolder(), dir / "copy/");
  EXPECT_EQ(copied.workFolder(), dir / "copy/") << "tests run as root: every folder is writable";
  EXPECT_EQ(ProgramFolders::locate(dir / "fake", probe).dataFolder(), dir / "fake/");
  EXPECT_EQ(ProgramFolders::locate(dir / "bare", probe).workFolder(), dir / "bare/");
  EXPECT_FALSE(probe.writable(dir / "missing/")) << "a missing folder cannot be written";
  installed.makeWorkFolder();
  EXPECT_TRUE(probe.writable(dir / "xdg/glimmerax/")) << "made with its parents";
}

TEST(ProgramFolders, XdgDataFolderFollowsTheEnvironment) {
  struct Case {
    const char* name;
    std::optional<std::string> home, dataHome;
    std::string expected;
  };
  const Case cases[] = {
      {"XDG_DATA_HOME", "/home/ann", "/data/ann", "/data/ann/glimmerax/"},
      {"XDG_DATA_HOME with slash", "/home/ann", "/data/ann/", "/data/ann/glimmerax/"},
      {"default", "/home/ann", std::nullopt, "/home/ann/.local/share/glimmerax/"},
      {"empty XDG_DATA_HOME", "/home/ann", "", "/home/ann/.local/share/glimmerax/"},
      {"relative XDG_DATA_HOME", "/home/ann", "data", "/home/ann/.local/share/glimmerax/"},
  };
  const char* home = std::getenv("HOME");
  const std::optional<std::string> savedHome = home ? std::optional<std::string>(home) : std::nullopt;
  const char* data = std::getenv("XDG_DATA_HOME");
  const std::optional<std::string> savedData = data ? std::optional<std::string>(data) : std::nullopt;
  auto put = [](const char* name, const std::optional<std::string>& value) {
    if (value) ::setenv(name, value->c_str(), 1); else ::unsetenv(name);
  };
  for (const Case& c : cases) {
    put("HOME", c.home);
    put("XDG_DATA_HOME", c.dataHome);
    EXPECT_EQ(ProgramFolders::xdgDataFolder(), c.expected) << c.name;
  }
  put("HOME", savedHome);
  put("XDG_DATA_HOME", savedData);
}

}  // namespace
}  // namespace glx
