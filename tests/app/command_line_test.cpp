// What the built program answers to --help, --version and an option it does
// not know: run as a process without a display, in a home of its own.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <QProcess>
#include <filesystem>
#include <set>

#include "tests/app/command_test_support.h"
#include "tests/support/spin_until.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

namespace fs = std::filesystem;

const std::string kExecutable = GLX_EXECUTABLE;
const std::string kFixtures = GLX_PRINT_FIXTURES;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CommandLine, HelpVersionAndUnknownOptionsAnswerWithoutAWindow) {
  struct Case {
    const char* argument;
    int exitCode;
    bool usageOnOut;  // the usage on standard output, nothing on standard error
    bool usageOnErr;  // the usage on standard error, nothing on standard output
    const char* out;  // exact output, when not the usage
  };
  const Case cases[] = {
      {"--help", 0, true, false, nullptr},
      {"--version", 0, false, false, "glimmerax 2.0\n"},
      {"--bogus", 2, false, true, ""},
      {"--print-htm", 2, false, true, ""},
  };
  for (const Case& c : cases) {
    test::TempDir home;
    const test::ProcessResult r =
        test::runProcess(kExecutable, {QString::fromLatin1(c.argument)}, {test::commandEnvironment(home), home.path()});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.argument << "\n" << r.err;
    if (c.usageOnOut) {
      EXPECT_TRUE(contains(r.out, "Usage: glimmerax")) << c.argument << "\n" << r.out;
      EXPECT_EQ(r.err, "") << c.argument;
    }
    if (c.usageOnErr) {
      EXPECT_TRUE(contains(r.err, "Usage: glimmerax")) << c.argument << "\n" << r.err;
      EXPECT_TRUE(contains(r.err, c.argument)) << c.argument << "\n" << r.err;
    }
    if (c.out) {
      EXPECT_EQ(r.out, c.out) << c.argument;
    }
    if (!c.usageOnErr) {
      EXPECT_EQ(r.err, "") << c.argument;
    }
    // Neither the settings nor the working folders were made.
    EXPECT_FALSE(std::filesystem::exists(home.path() + ".config")) << c.argument;
    EXPECT_FALSE(std::filesystem::exists(home.path() + ".local")) << c.argument;
  }
}

TEST(CommandLine, TheUsageNamesEveryOption) {
  test::TempDir home;
  const test::ProcessResult r = test::runProcess(kExecutable, {"--help"}, {test::commandEnvironment(home), home.path()});
  for (const char* option : {"--print-html", "--publish", "--force", "--export-animation", "--help", "--version",
                             "PROJECT.glx"})
    EXPECT_TRUE(contains(r.out, option)) << option << "\n" << r.out;
}

// A copy of the program with its class files in a folder of its own (its
// working folders are made there), and a home with its own runtime folder.
class RunningCopies : public ::testing::Test {
 protected:
  RunningCopies() {
    const fs::path built = fs::path(kExecutable).parent_path();
    fs::copy_file(kExecutable, program / "glimmerax");
    for (const char* name : {"warp.class", "fade.class", "huecycle.class", "colorwarp.class", "pageflip.class",
                             "underwater.class"})
      fs::copy_file(built / name, program / name);
    fs::copy_file(kFixtures + "sun.gif", work / "sun.gif");
    fs::copy_file(kFixtures + "sun.gif", work / "moon.gif");
    // Page Flip with two images named by absolute paths.
    work.write("my project.glx", "Glimmerax File\r\nIf you alter the values below this file may not open properly.\r\n"
                                 "1\r\n3\r\n40\r\n1\r\n\r\n\r\nclBlack\r\n2\r\nclBlack\r\nclWhite\r\nWait...\r\n\r\n" +
                                     work / "sun.gif" + "\r\nsun.gif\r\n" + work / "moon.gif" + "\r\nmoon.gif\r\n");
    ::mkdir((home / "run").c_str(), 0700);
    env = test::commandEnvironment(home);
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home / "run"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
  }
  ~RunningCopies() override {
    if (first.state() != QProcess::NotRunning) {
      first.kill();
      first.waitForFinished();
    }
  }

  void startFirst() {
    first.setProcessEnvironment(env);
    first.setWorkingDirectory(QString::fromStdString(home.path()));
    first.start(QString::fromStdString(program / "glimmerax"), {});
    ASSERT_TRUE(first.waitForStarted());
    // Up when it listens and its fresh document's class file is in place.
    ASSERT_TRUE(test::spinUntil([&] {
      return fs::exists(home / "run/glimmerax/instance.socket") && fs::exists(requiredFiles() / "fade.class");
    })) << first.readAllStandardError().toStdString();
  }

  fs::path requiredFiles() const { return fs::path(program.path()) / "Required Files"; }

  std::set<std::string> requiredFileNames() const {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(requiredFiles(), ec)) names.insert(entry.path().filename());
    return names;
  }

  test::TempDir program, work, home;
  QProcessEnvironment env;
  QProcess first;
};

TEST_F(RunningCopies, ASecondStartHandsItsProjectToTheRunningWindowAndEnds) {
  startFirst();
  // The project's name arrives split at its blank and relative to the later
  // start's own folder.
  const test::ProcessResult second =
      test::runProcess(program / "glimmerax", {"my", "project.glx"},
                       {env, work.path(), 30000});
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, "");
  ASSERT_TRUE(test::spinUntil([&] { return requiredFileNames().count("moon.gif") == 1; }))
      << "the running window opened the project";
  EXPECT_EQ(requiredFileNames(), (std::set<std::string>{"pageflip.class", "sun.gif", "moon.gif"}))
      << "the second start left the working folder alone";
  EXPECT_EQ(first.state(), QProcess::Running);

  // A start without a project only brings the window to the front.
  const test::ProcessResult third =
      test::runProcess(program / "glimmerax", {}, {env, work.path(), 30000});
  EXPECT_EQ(third.exitCode, 0) << third.err;
  EXPECT_EQ(requiredFileNames(), (std::set<std::string>{"pageflip.class", "sun.gif", "moon.gif"}));

  // The command-line jobs run beside the window and change nothing of it.
  const test::ProcessResult printed =
      test::runProcess(program / "glimmerax", {"--print-html", "my project.glx"}, {env, work.path(), 30000});
  EXPECT_EQ(printed.exitCode, 0) << printed.err;
  EXPECT_NE(printed.out.find("pageflip.class"), std::string::npos) << printed.out;
  EXPECT_EQ(requiredFileNames(), (std::set<std::string>{"pageflip.class", "sun.gif", "moon.gif"}));
}

TEST_F(RunningCopies, AStartAfterAKilledCopyRunsItself) {
  startFirst();
  ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
  ASSERT_TRUE(first.waitForFinished());
  ASSERT_TRUE(fs::exists(home / "run/glimmerax/instance.socket")) << "the killed copy's socket file stays";
  fs::remove(requiredFiles() / "fade.class");
  startFirst();  // it takes the lock over and sets up its own document
  EXPECT_EQ(first.state(), QProcess::Running);
}

}  // namespace
}  // namespace glx
