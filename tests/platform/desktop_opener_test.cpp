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
  struct Case {
    const char* name;
    std::string body;  // empty: no xdg-open at all
    int quickFailureMs;
    bool fallbackOpens;
    bool reported;
    bool fallbackAsked;
  };
  const Case cases[] = {
      {"opener succeeds", "exit 0", 60000, false, false, false},
      {"opener has no handler", "exit 3", 60000, false, true, false},
      {"opener fails", "exit 4", 60000, true, true, false},
      {"opener killed by a signal", "kill -9 $$", 60000, false, true, false},
      {"opener fails later, for the opened program's reasons", "/bin/sleep 1; exit 4", 200, false, false, false},
      {"no opener, the toolkit opens it", "", 60000, true, false, true},
      {"no opener and no other way", "", 60000, false, true, true},
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
    opener.open("/tmp/Applet Temp/Applet Temp.html");
    ASSERT_TRUE(spinUntil([&] { return opener.watching() == 0; })) << c.name;
    QCoreApplication::processEvents();
    if (c.reported)
      EXPECT_EQ(reports, std::vector<std::string>{cannotOpenMessage("/tmp/Applet Temp/Applet Temp.html")}) << c.name;
    else
      EXPECT_TRUE(reports.empty()) << c.name << ": " << (reports.empty() ? "" : reports[0]);
    EXPECT_EQ(!asked.empty(), c.fallbackAsked) << c.name;
  }
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
