// The launcher the program uses: the desktop's opener first, and a plain
// message naming what could not be opened or started.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <functional>
#include <optional>

#include "app/qt_services.h"
#include "platform/file_ops.h"
#include "tests/support/spin_until.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

using test::spinUntil;

// A desktop whose PATH is a folder of the test's, with no browser setting.
class Desktop {
 public:
  explicit Desktop(const TempDir& dir) {
    for (const char* name : {"PATH", "BROWSER", "DEFAULT_BROWSER"})
      if (const char* value = std::getenv(name)) m_saved.emplace_back(name, value);
    dir.mkdir("bin");
    ::setenv("PATH", (dir / "bin").c_str(), 1);
    ::unsetenv("BROWSER");
    ::unsetenv("DEFAULT_BROWSER");
  }
  ~Desktop() {
    ::unsetenv("PATH");
    for (const auto& [name, value] : m_saved) ::setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  std::vector<std::pair<std::string, std::string>> m_saved;
};

TEST(QtLauncher, WithoutAnOpenerTheUserIsToldWhatCouldNotBeOpened) {
  TempDir dir;
  Desktop desktop(dir);
  std::vector<std::string> messages;
  QtLauncher launcher([&](const std::string& text) { messages.push_back(text); });
  DesktopShell shell(launcher);
  const std::string folder = dir.mkdir("Required Files");
  // The required-files link opens the folder through the shell's default action.
  shell.executeFile(folder, folder, folder, 5);
  shell.open("http://www.tallowbrook.example/");
  EXPECT_EQ(messages, (std::vector<std::string>{cannotOpenMessage(folder),
                                                cannotOpenMessage("http://www.tallowbrook.example/")}));
}

TEST(QtLauncher, TheDesktopsOpenerComesFirst) {
  TempDir dir;
  Desktop desktop(dir);
  const std::string opener = dir.write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + dir.path() + "seen\" && /bin/mv \"" +
                                          dir.path() + "seen\" \"" + dir.path() + "opened\"\n");
  ::chmod(opener.c_str(), 0755);
  std::vector<std::string> messages;
  QtLauncher launcher([&](const std::string& text) { messages.push_back(text); });
  launcher.openWithDesktop(dir / "Applet Temp/Applet Temp.html");
  ASSERT_TRUE(spinUntil([&] { return fileExists(dir / "opened"); }));
  EXPECT_EQ(dir.read("opened"), dir / "Applet Temp/Applet Temp.html");
  EXPECT_TRUE(messages.empty());
}

TEST(QtLauncher, AProgramThatCannotBeStartedIsNamed) {
  TempDir dir;
  std::vector<std::string> messages;
  QtLauncher launcher([&](const std::string& text) { messages.push_back(text); });
  launcher.startDetached(dir / "gone/firefox", {"page.html"}, dir.path());
  EXPECT_EQ(messages, std::vector<std::string>{"The program\n" + dir / "gone/firefox" + "\ncould not be started."});
}

// Test in Browser with a browser that ends at once: the user learns which
// program ended, how, and its first error line; Help > Samples with an
// opener that fails: the opener's status, not advice to install it.
TEST(QtLauncher, AProgramOrOpenerThatEndsAtOnceIsNamedWithItsReason) {
  TempDir dir;
  Desktop desktop(dir);
  const std::string browser = dir.write("browsers/chromium", "#!/bin/sh\necho 'Running as root without --no-sandbox is not supported.' >&2\nexit 1\n");
  ::chmod(browser.c_str(), 0755);
  const std::string opener = dir.write("bin/xdg-open", "#!/bin/sh\necho 'gio: Operation not supported' >&2\nexit 4\n");
  ::chmod(opener.c_str(), 0755);
  std::vector<std::string> messages;
  QtLauncher launcher([&](const std::string& text) { messages.push_back(text); });
  DesktopShell shell(launcher);
  shell.executeFile("chromium", dir / "Applet Temp/Applet Temp.html", dir / "browsers", 5);
  ASSERT_TRUE(spinUntil([&] { return messages.size() == 1; }));
  EXPECT_EQ(messages[0], "The program\n" + browser +
                             "\nended at once.\n\nchromium ended with status 1: Running as root without --no-sandbox is "
                             "not supported.");
  shell.open(dir / "Samples.html");
  ASSERT_TRUE(spinUntil([&] { return messages.size() == 2; }));
  EXPECT_EQ(messages[1], "The desktop could not open\n" + dir / "Samples.html" +
                             "\n\nxdg-open ended with status 4: gio: Operation not supported");
}

}  // namespace
}  // namespace glx
