#include "platform/desktop_opener.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <functional>
#include <optional>

#include "platform/file_ops.h"
#include "tests/support/spin_until.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

using test::spinUntil;

// PATH holds only a folder of the test's, with or without an xdg-open.
class ScopedPath {
 public:
  explicit ScopedPath(const std::string& path) {
    if (const char* old = std::getenv("PATH")) m_saved = old;
    ::setenv("PATH", path.c_str(), 1);
  }
  ~ScopedPath() {
    if (m_saved) ::setenv("PATH", m_saved->c_str(), 1); else ::unsetenv("PATH");
  }

 private:
  std::optional<std::string> m_saved;
};

std::string writeOpener(const TempDir& dir, const std::string& body) {
  const std::string path = dir.write("bin/xdg-open", "#!/bin/sh\n" + body + "\n");
  ::chmod(path.c_str(), 0755);
  return path;
}

TEST(DesktopOpener, MessageNamesWhatCouldNotBeOpened) {
  const std::string text = cannotOpenMessage("/home/ann/Applet Temp/Applet Temp.html");
  EXPECT_EQ(text.rfind("The desktop could not open\n/home/ann/Applet Temp/Applet Temp.html\n", 0), 0u) << text;
  EXPECT_NE(text.find("xdg-open"), std::string::npos);
}

TEST(DesktopOpener, UsesTheDesktopsOpenerAndSaysWhenItFailsAtOnce) {
  const std::string target = "/tmp/Applet Temp/Applet Temp.html";
  const std::string failed = "The desktop could not open\n" + target + "\n\n";
  struct Case {
    const char* name;
    std::string body;  // empty: no xdg-open at all
    int quickFailureMs;
    bool fallbackOpens;
    std::string report;  // empty: nothing said
    bool fallbackAsked;
  };
  const Case cases[] = {
      {"opener succeeds", "echo 'a warning' >&2; exit 0", 60000, false, "", false},
      {"opener has no handler", "echo 'xdg-open: no method available for opening' >&2; exit 3", 60000, false,
       failed + "xdg-open ended with status 3: xdg-open: no method available for opening", false},
      {"browser refused to start", "echo >&2; printf 'Running as root without --no-sandbox\\r\\nmore\\n' >&2; exit 4",
       60000, true, failed + "xdg-open ended with status 4: Running as root without --no-sandbox", false},
      {"opener fails silently", "exit 4", 60000, false, failed + "xdg-open ended with status 4.", false},
      {"opener killed by a signal", "kill -9 $$", 60000, false, failed + "xdg-open was ended by signal 9.", false},
      {"opener fails later, for the opened program's reasons", "/bin/sleep 1; exit 4", 200, false, "", false},
      {"no opener, the toolkit opens it", "", 60000, true, "", true},
      {"no opener and no other way", "", 60000, false, cannotOpenMessage(target), true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.mkdir("bin");
    if (!c.body.empty()) writeOpener(dir, c.body);
    ScopedPath path(dir / "bin");
    std::vector<std::string> reports, asked;
    DesktopOpener opener([&](const std::string& m) { reports.push_back(m); },
                         [&](const std::string& t) {
                           asked.push_back(t);
                           return c.fallbackOpens;
                         },
                         c.quickFailureMs);
    opener.open(target);
    ASSERT_TRUE(spinUntil([&] { return opener.watching() == 0; })) << c.name;
    QCoreApplication::processEvents();
    if (!c.report.empty())
      EXPECT_EQ(reports, std::vector<std::string>{c.report}) << c.name;
    else
      EXPECT_TRUE(reports.empty()) << c.name << ": " << (reports.empty() ? "" : reports[0]);
    EXPECT_EQ(!asked.empty(), c.fallbackAsked) << c.name;
  }
}

// A browser started for the test run is watched as the opener is: one that
// ends at once is named with its status and first error line.
TEST(DesktopOpener, StartsProgramsAndSaysWhenOneEndsAtOnce) {
  struct Case {
    const char* name;
    std::string body;
    int quickFailureMs;
    std::string reportTail;  // after "The program\n<path>\nended at once.\n\n"; empty: nothing said
  };
  const Case cases[] = {
      {"browser runs", "echo 'Gtk-Message: loaded' >&2; exit 0", 60000, ""},
      {"browser ends at once", "echo 'Running as root without --no-sandbox is not supported.' >&2; exit 1", 60000,
       "chromium ended with status 1: Running as root without --no-sandbox is not supported."},
      {"browser killed", "kill -6 $$", 60000, "chromium was ended by signal 6."},
      {"browser fails after a while", "/bin/sleep 1; exit 1", 200, ""},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string browser = dir.write("lib/chromium", "#!/bin/sh\npwd > \"" + dir.path() + "seen\"\nprintf '%s|%s' \"$1\" \"$#\" >> \"" +
                                                               dir.path() + "seen\"\n" + c.body + "\n");
    ::chmod(browser.c_str(), 0755);
    std::string work = dir.mkdir("Applet Temp");
    work.pop_back();
    std::vector<std::string> reports;
    DesktopOpener opener([&](const std::string& m) { reports.push_back(m); }, nullptr, c.quickFailureMs);
    ASSERT_TRUE(opener.start(browser, {work + "/Applet Temp.html"}, work)) << c.name;
    ASSERT_TRUE(spinUntil([&] { return opener.watching() == 0; })) << c.name;
    QCoreApplication::processEvents();
    EXPECT_EQ(dir.read("seen"), work + "\n" + work + "/Applet Temp.html|1") << c.name;
    if (c.reportTail.empty())
      EXPECT_TRUE(reports.empty()) << c.name << ": " << (reports.empty() ? "" : reports[0]);
    else
      EXPECT_EQ(reports, std::vector<std::string>{"The program\n" + browser + "\nended at once.\n\n" + c.reportTail})
          << c.name;
  }
  TempDir dir;
  DesktopOpener opener(nullptr, nullptr);
  EXPECT_FALSE(opener.start(dir / "gone/firefox", {}, dir.path()));
  EXPECT_FALSE(opener.start(dir.mkdir("folder"), {}, dir.path()));
  EXPECT_EQ(opener.watching(), 0);
}

TEST(DesktopOpener, HandsTheTargetWholeToTheOpener) {
  TempDir dir;
  writeOpener(dir, "printf '%s|%s' \"$1\" \"$#\" > \"" + dir.path() + "seen\"");
  ScopedPath path(dir / "bin");
  EXPECT_EQ(DesktopOpener::findOpener(), dir / "bin/xdg-open");
  DesktopOpener opener(nullptr, nullptr);
  for (const std::string target : {"http://www.tallowbrook.example/", "/home/ann/Required Files/"}) {
    deleteFileQuiet(dir / "seen");
    opener.open(target);
    ASSERT_TRUE(spinUntil([&] { return opener.watching() == 0; })) << target;
    EXPECT_EQ(dir.read("seen"), target + "|1");
  }
}

TEST(DesktopOpener, FindsTheOpenerOnPathOnly) {
  TempDir dir;
  dir.mkdir("empty");
  const std::string notExecutable = dir.write("plain/xdg-open", "#!/bin/sh\n");
  ::chmod(notExecutable.c_str(), 0644);
  dir.mkdir("folder/xdg-open");
  writeOpener(dir, "exit 0");
  {
    ScopedPath path(dir / "empty:" + dir / "plain:" + dir / "folder:relative/bin");
    EXPECT_EQ(DesktopOpener::findOpener(), "");
  }
  {
    ScopedPath path(dir / "empty:" + dir / "plain:" + dir / "bin/");
    EXPECT_EQ(DesktopOpener::findOpener(), dir / "bin/xdg-open");
  }
}

}  // namespace
}  // namespace glx
