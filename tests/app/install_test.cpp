// The installed program: `cmake --install` into a temporary DESTDIR, the
// files the desktop reads checked with the desktop's own validators, and
// the installed program run from there, with its home folders in
// temporary folders.
#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/program_version.h"
#include "platform/file_ops.h"
#include "tests/support/process_run.h"
#include "tests/support/spin_until.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::ProcessResult;
using test::TempDir;

const std::string kBuildDir = GLX_BUILD_DIR;
const std::string kCMake = GLX_CMAKE_COMMAND;
const std::string kFixtures = GLX_PRINT_FIXTURES;
const std::string kBuiltExecutable = GLX_EXECUTABLE;

ProcessResult run(const std::string& program, const QStringList& arguments, const QProcessEnvironment& env,
                  const std::string& workingFolder = {}) {
  return test::runProcess(program, arguments, {env, workingFolder, 110000});
}

// One installation for all the tests of this file: DESTDIR/usr.
class InstalledProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_root = std::make_unique<TempDir>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DESTDIR", QString::fromStdString(s_root->path()));
    const ProcessResult r =
        run(kCMake, {"--install", QString::fromStdString(kBuildDir), "--prefix", "/usr"}, env);
    s_installed = r.exitCode == 0;
    s_installLog = r.out + r.err;
  }
  static void TearDownTestSuite() { s_root.reset(); }

  void SetUp() override { ASSERT_TRUE(s_installed) << "cmake --install failed:\n" << s_installLog; }

  static std::string usr(const std::string& relative) { return s_root->path() + "usr/" + relative; }

  static std::unique_ptr<TempDir> s_root;
  static bool s_installed;
  static std::string s_installLog;
};

std::unique_ptr<TempDir> InstalledProgram::s_root;
bool InstalledProgram::s_installed = false;
std::string InstalledProgram::s_installLog;

// Width and height from a PNG's header.
std::pair<int, int> pngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {-1, -1};
  auto be32 = [&](size_t at) {
    return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
           (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
  };
  return {be32(16), be32(20)};
}

TEST_F(InstalledProgram, LaysOutProgramDataAndDesktopFilesUnderThePrefix) {
  const char* files[] = {
      "bin/glimmerax",
      "lib/glimmerax/libglimmerax-webengine.so",
      "lib/glimmerax/libglimmerax-resolver.so",
      "share/glimmerax/fade.class",
      "share/glimmerax/pageflip.class",
      "share/glimmerax/colorwarp.class",
      "share/glimmerax/pageflip.class",
      "share/glimmerax/underwater.class",
      "share/glimmerax/warp.class",
      "share/glimmerax/Glimmerax Help.html",
      "share/glimmerax/Samples.html",
      "share/glimmerax/sample-sunset.jpg",
      "share/glimmerax/sample-sea.jpg",
      "share/glimmerax/sample-flower.gif",
      "share/applications/example.tallowbrook.Glimmerax.desktop",
      "share/metainfo/example.tallowbrook.Glimmerax.metainfo.xml",
      "share/mime/packages/glimmerax.xml",
      "share/icons/hicolor/scalable/apps/glimmerax.svg",
      "share/icons/hicolor/48x48/apps/glimmerax.png",
      "share/icons/hicolor/128x128/apps/glimmerax.png",
      "share/man/man1/glimmerax.1.gz",
      "share/doc/glimmerax/copyright",
      "share/doc/glimmerax/changelog.gz",
  };
  for (const char* f : files) EXPECT_TRUE(fileExists(usr(f))) << f;
  EXPECT_EQ(::access(usr("bin/glimmerax").c_str(), X_OK), 0);
  // The build copies the player beside the executable; it is installed with
  // the other data files.
  if (fileExists(std::filesystem::path(kBuiltExecutable).parent_path() / "glimmerax-player.js")) {
    EXPECT_TRUE(fileExists(usr("share/glimmerax/glimmerax-player.js")));
  }
  // Nothing of the build's own (tests, libraries, headers) comes along.
  std::error_code ec;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(s_root->path() + "usr", ec)) {
    const std::string relative = entry.path().string().substr(s_root->path().size() + 4);
    EXPECT_TRUE(relative.rfind("bin/", 0) != 0 || relative == "bin/glimmerax") << relative;
    EXPECT_TRUE(relative.rfind("lib", 0) != 0 || relative == "lib" || relative.rfind("lib/glimmerax", 0) == 0) << relative;
    EXPECT_TRUE(relative.rfind("share", 0) == 0 || relative.rfind("bin", 0) == 0 || relative.rfind("lib", 0) == 0)
        << relative;
  }
  EXPECT_EQ(pngSize(readFileBytes(usr("share/icons/hicolor/48x48/apps/glimmerax.png"))), std::make_pair(48, 48));
  EXPECT_EQ(pngSize(readFileBytes(usr("share/icons/hicolor/128x128/apps/glimmerax.png"))),
            std::make_pair(128, 128));
}

TEST_F(InstalledProgram, DesktopEntryPassesTheValidatorAndOpensProjects) {
  const std::string entry = usr("share/applications/example.tallowbrook.Glimmerax.desktop");
  const ProcessResult r = run("desktop-file-validate", {QString::fromStdString(entry)},
                              QProcessEnvironment::systemEnvironment());
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("error"), std::string::npos) << r.out;
  const std::string text = readFileBytes(entry);
  EXPECT_NE(text.find("\nExec=glimmerax %f\n"), std::string::npos) << "a double-clicked project is passed on";
  EXPECT_NE(text.find("\nMimeType=application/x-glimmerax-project;\n"), std::string::npos);
  EXPECT_NE(text.find("\nIcon=glimmerax\n"), std::string::npos);
}

TEST_F(InstalledProgram, MetadataPassesTheAppStreamValidator) {
  const std::string metainfo = usr("share/metainfo/example.tallowbrook.Glimmerax.metainfo.xml");
  const ProcessResult r = run("appstreamcli", {"validate", "--no-net", QString::fromStdString(metainfo)},
                              QProcessEnvironment::systemEnvironment());
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::string text = readFileBytes(metainfo);
  EXPECT_NE(text.find("<project_license>GPL-3.0-or-later</project_license>"), std::string::npos);
  EXPECT_NE(text.find("<launchable type=\"desktop-id\">example.tallowbrook.Glimmerax.desktop</launchable>"),
            std::string::npos);
}

TEST_F(InstalledProgram, ProjectFileTypeIsDeclaredWithItsIcon) {
  // The desktop's own tool builds its database from the installed file.
  TempDir mime;
  std::filesystem::create_directories(mime.path() + "packages");
  std::filesystem::copy_file(usr("share/mime/packages/glimmerax.xml"), mime.path() + "packages/glimmerax.xml");
  const ProcessResult r = run("update-mime-database", {"-V", QString::fromStdString(mime.path())},
                              QProcessEnvironment::systemEnvironment());
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err.find("Error"), std::string::npos) << r.err;
  EXPECT_NE(mime.read("globs2").find("application/x-glimmerax-project:*.glx"), std::string::npos)
      << mime.read("globs2");
  EXPECT_NE(mime.read("icons").find("application/x-glimmerax-project:glimmerax"), std::string::npos)
      << mime.read("icons");
}

TEST_F(InstalledProgram, ManualPageFormatsWithoutWarnings) {
  const ProcessResult r = run("man", {"--warnings", "-l", QString::fromStdString(usr("share/man/man1/glimmerax.1.gz"))},
                              QProcessEnvironment::systemEnvironment());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("print"), std::string::npos);
}

// The version the About window shows ("Version  2.0") is the one that the
// program, the metadata, the manual page and the changelog name.
TEST_F(InstalledProgram, EveryPlaceNamesTheVersionOfTheAboutWindow) {
  const std::string version = kProgramVersion;
  ASSERT_EQ(version, "2.0");
  const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  const ProcessResult program = run(usr("bin/glimmerax"), {"--version"}, test::withoutDisplay(env));
  EXPECT_EQ(program.exitCode, 0) << program.err;
  EXPECT_EQ(program.out, "glimmerax " + version + "\n");

  const std::string metainfo = readFileBytes(usr("share/metainfo/example.tallowbrook.Glimmerax.metainfo.xml"));
  const size_t release = metainfo.find("<release version=\"");
  ASSERT_NE(release, std::string::npos) << metainfo;
  const std::string newest = "<release version=\"" + version + "\"";
  EXPECT_EQ(metainfo.substr(release, newest.size()), newest) << "the newest release comes first";

  const ProcessResult changelog = run("zcat", {QString::fromStdString(usr("share/doc/glimmerax/changelog.gz"))}, env);
  EXPECT_EQ(changelog.out.substr(0, changelog.out.find('\n')), "glimmerax (" + version + ") unstable; urgency=medium");

  const ProcessResult manual = run("zcat", {QString::fromStdString(usr("share/man/man1/glimmerax.1.gz"))}, env);
  EXPECT_EQ(manual.out.substr(0, manual.out.find('\n')),
            ".TH GLIMMERAX 1 \"December 2026\" \"Glimmerax " + version + "\" \"User Commands\"");
}

// The manual page describes every option that the program's usage names,
// and what --print-html prints without a fixed count of lines.
TEST_F(InstalledProgram, ManualPageDescribesEveryOption) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("MANWIDTH", "200");
  env.insert("LC_ALL", "C.UTF-8");
  const ProcessResult manual =
      run("man", {"-l", QString::fromStdString(usr("share/man/man1/glimmerax.1.gz"))}, env);
  ASSERT_EQ(manual.exitCode, 0) << manual.err;
  const ProcessResult usage = run(usr("bin/glimmerax"), {"--help"}, test::withoutDisplay(env));
  ASSERT_EQ(usage.exitCode, 0) << usage.err;
  for (const char* option : {"--print-html", "--publish", "--force", "--export-animation", "--help", "--version"}) {
    EXPECT_NE(usage.out.find(option), std::string::npos) << option;
    EXPECT_NE(manual.out.find(option), std::string::npos) << option << " missing from the manual page";
  }
  EXPECT_EQ(manual.out.find("seven"), std::string::npos) << "--print-html prints more lines with the player";
}

// A home of its own: HOME, and XDG_DATA_HOME when dataHome is set.
QProcessEnvironment homeEnvironment(const std::string& home, const std::string& dataHome) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", QString::fromStdString(home));
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(home + "config"));
  // Its own runtime folder: a window open elsewhere would take the start over.
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home + "run"));
  if (dataHome.empty())
    env.remove("XDG_DATA_HOME");
  else
    env.insert("XDG_DATA_HOME", QString::fromStdString(dataHome));
  return env;
}

TEST_F(InstalledProgram, PrintHtmlGivesWhatTheBuildTreeGives) {
  TempDir work, home;
  for (const auto& entry : std::filesystem::directory_iterator(kFixtures))
    std::filesystem::copy_file(entry.path(), work.path() + entry.path().filename().string());
  const QProcessEnvironment env = test::withoutDisplay(homeEnvironment(home.path(), home.path() + "data"));
  const ProcessResult installed = run(usr("bin/glimmerax"), {"--print-html", "sun.glx"}, env, work.path());
  const ProcessResult built = run(kBuiltExecutable, {"--print-html", "sun.glx"}, env, work.path());
  EXPECT_EQ(installed.exitCode, 0) << installed.err;
  ASSERT_EQ(built.exitCode, 0) << built.err;
  EXPECT_EQ(installed.out, built.out);
  EXPECT_NE(installed.out.find("<APPLET CODE=\"pageflip.class\""), std::string::npos) << installed.out;
  EXPECT_FALSE(pathExists(home.path() + "data")) << "the command changes nothing";
}

TEST_F(InstalledProgram, PublishTakesClassFileAndPlayerFromTheInstalledDataFolder) {
  TempDir work, home;
  // The page flip of the fixture, with a second copy of its first image.
  std::string project = readFileBytes(kFixtures + "sun.glx");
  for (size_t at; (at = project.find("moon.jpg")) != std::string::npos;) project.replace(at, 8, "sun2.gif");
  work.write("two.glx", project);
  std::filesystem::copy_file(kFixtures + "sun.gif", work / "sun.gif");
  std::filesystem::copy_file(kFixtures + "sun.gif", work / "sun2.gif");
  const QProcessEnvironment env = test::withoutDisplay(homeEnvironment(home.path(), home.path() + "data"));
  const ProcessResult r = run(usr("bin/glimmerax"), {"--publish", "two.glx", "site"}, env, work.path());
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(work.read("site/pageflip.class"), readFileBytes(usr("share/glimmerax/pageflip.class")));
  if (fileExists(usr("share/glimmerax/glimmerax-player.js"))) {
    EXPECT_EQ(work.read("site/glimmerax-player.js"), readFileBytes(usr("share/glimmerax/glimmerax-player.js")));
  }
  EXPECT_FALSE(pathExists(home.path() + "data")) << "the command makes no working folder";
}

TEST_F(InstalledProgram, RunsFromTheInstallationWithItsWorkingFoldersInTheXdgDataFolder) {
  struct Case {
    const char* name;
    bool setDataHome;
  };
  for (const Case c : {Case{"XDG_DATA_HOME set", true}, Case{"its default under HOME", false}}) {
    TempDir work, home;
    for (const char* f : {"sun.glx", "sun.gif"})
      std::filesystem::copy_file(kFixtures + f, work.path() + f);
    const std::string dataHome = c.setDataHome ? home.path() + "data" : std::string();
    const std::string folder = (c.setDataHome ? dataHome : home.path() + ".local/share") + "/glimmerax/";
    QProcessEnvironment env = homeEnvironment(home.path(), dataHome);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(QString::fromStdString(work.path()));
    program.start(QString::fromStdString(usr("bin/glimmerax")), {QString::fromStdString(work / "sun.glx")});
    ASSERT_TRUE(program.waitForStarted(30000)) << c.name;
    // Opening the project copies its effect's class file from the installed
    // data folder and its image into both working folders.
    const bool arrived = test::spinUntil([&] {
      return fileExists(folder + "Required Files/pageflip.class") && fileExists(folder + "Required Files/sun.gif") &&
             fileExists(folder + "Applet Temp/sun.gif");
    });
    const bool stillRunning = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished(30000);
    ASSERT_TRUE(arrived) << c.name << ": the working folders were not made in " << folder << "\n"
                         << program.readAllStandardError().toStdString();
    EXPECT_TRUE(stillRunning) << c.name;
    EXPECT_EQ(readFileBytes(folder + "Required Files/pageflip.class"), readFileBytes(usr("share/glimmerax/pageflip.class")))
        << c.name;
    // Nothing is written beside the installed program or its data.
    for (const char* beside : {"bin/Required Files", "bin/Applet Temp", "bin/config.data", "share/glimmerax/Required Files",
                               "share/glimmerax/Applet Temp", "share/Required Files"})
      EXPECT_FALSE(pathExists(usr(beside))) << c.name << ": " << beside;
  }
}

}  // namespace
}  // namespace glx
