#include "app/browser_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>

#include "platform/registry.h"
#include "settings/bound_widgets.h"
#include "settings/settings_store.h"
#include "search/browser_names.h"
#include "tests/platform/pe_fixture.h"
#include "tests/search/browser_trees.h"
#include "tests/support/spin_until.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

using test::spinUntil;

std::vector<std::string> itemsOf(const GlxListBox* list) {
  std::vector<std::string> items;
  for (const QString& s : list->items()) items.push_back(s.toStdString());
  return items;
}

// A machine: drives in temporary folders, a settings folder of its own,
// and a user whose home is /home/tester (on each drive, for the user's own
// Flatpak folder).
struct Machine {
  TempDir settings, c, d, e;
  DriveTable table;
  std::vector<int> helpContexts;
  std::vector<std::string> messages;
  std::string savedHome;
  std::optional<std::string> savedDataHome;

  Machine() {
    table.clear();
    table.set('C', DriveType::Fixed, c.path());
    table.set('D', DriveType::CdRom, d.path());
    table.set('E', DriveType::Fixed, e.path());
    if (const char* home = std::getenv("HOME")) savedHome = home;
    if (const char* data = std::getenv("XDG_DATA_HOME")) savedDataHome = data;
    ::setenv("HOME", "/home/tester", 1);
    ::unsetenv("XDG_DATA_HOME");
  }
  ~Machine() {
    ::setenv("HOME", savedHome.c_str(), 1);
    if (savedDataHome) ::setenv("XDG_DATA_HOME", savedDataHome->c_str(), 1);
  }
  BrowserWindowOptions options() {
    BrowserWindowOptions o;
    o.registryFolder = settings.path();
    o.driveTable = table;
    o.showHelp = [this](int context) { helpContexts.push_back(context); };
    o.showMessage = [this](const std::string& text) { messages.push_back(text); };
    return o;
  }
};

// Runs a search to its end: both finders have completed.
void search(TBrowserWindow& window) {
  window.SpeedButton1Click();
  // The window's own handlers stay assigned; the end is watched on the threads.
  ASSERT_TRUE(spinUntil([&] {
    int completed = 0;
    for (TFileFinder* f : {&window.FileFinder1, &window.FileFinder2})
      if (f->thread() && !f->thread()->waitingForDelivery() && f->thread()->finishedRunning()) ++completed;
    return completed == 2;
  }));
  QCoreApplication::processEvents();
}

TEST(BrowserWindow, StartsWithTheDefaultBrowserAndTheDesignedControls) {
  Machine m;
  TBrowserWindow window(m.options());
  EXPECT_EQ(window.windowTitle(), "Browser");
  EXPECT_EQ(window.currentBrowser(), "default");
  EXPECT_EQ(window.BrowserNames->count(), 0);
  EXPECT_FALSE(window.BrowserPaths->isVisibleTo(&window));
  EXPECT_EQ(window.DefaultBrowserCheck->text(), "Use Default Browser");
  EXPECT_EQ(window.SpeedButton1->text(), "&Search for Browsers");
  EXPECT_EQ(window.SpeedButton2->text(), "&Close");
  // The first finder looks for the browsers' program files, the second for
  // their Flatpak launchers in the export folders.
  EXPECT_EQ(window.FileFinder1.fileMask(), "*");
  EXPECT_EQ(window.FileFinder1.files(), browserProgramNames());
  EXPECT_TRUE(window.FileFinder1.directories().empty());
  EXPECT_EQ(window.FileFinder2.fileMask(), "*");
  EXPECT_EQ(window.FileFinder2.files(), browserFlatpakNames());
  EXPECT_EQ(window.FileFinder2.directories(), (std::vector<std::string>{"home/tester/.local/share/flatpak/exports/bin",
                                                                        "var/lib/flatpak/exports/bin"}));
  EXPECT_EQ(window.FileFinder1.drives(), "C");
  EXPECT_FALSE(window.isVisible());
}

TEST(BrowserWindow, SearchNamesBrowsersByProductAndVersion) {
  Machine m;
  test::installFirefoxEsr(m.c, "115.5.0esr");
  test::installChromium(m.c, "120.0.6099.224");
  test::installGoogleChrome(m.c, "121.0.6167.85");
  test::installFirefoxSnap(m.c, "121.0-1");
  test::installFlatpak(m.c, "var/lib/flatpak", "org.gnome.Epiphany", "Web", "45.1", "epiphany");
  test::installFlatpak(m.c, "home/tester/.local/share/flatpak", "org.mozilla.firefox", "Firefox", "122.0", "firefox");
  test::writeProgram(m.c, "usr/bin/falkon");
  test::writeProgram(m.c, "Not UTF-8 \xff/opera");  // could not be started again
  m.c.mkdir("usr/share/doc/konqueror");              // a folder of the name
  m.c.write("Program Files/Netscape/Program/netscape.exe", test::peWithVersion(U"4.75"));
  test::writeProgram(m.e, "usr/bin/konqueror");
  m.e.write("usr/share/applications/org.kde.konqueror.desktop", test::desktopEntry("Konqueror"));
  m.e.write("usr/share/metainfo/org.kde.konqueror.metainfo.xml", test::appStream("org.kde.konqueror", "23.08.1"));
  test::writeProgram(m.e, "opt/falkon-beta/falkon");
  m.e.write("usr/share/applications/org.kde.falkon.desktop", test::desktopEntry("Falkon \u00dfeta"));
  test::writeProgram(m.d, "usr/bin/vivaldi");  // a CD-ROM: not searched
  TBrowserWindow window(m.options());
  search(window);
  EXPECT_EQ(window.FileFinder1.drives(), "CE");
  EXPECT_EQ(window.FileFinder2.drives(), "CE");
  std::map<std::string, std::string> found;  // path -> name
  const auto names = itemsOf(window.BrowserNames);
  const auto paths = itemsOf(window.BrowserPaths);
  ASSERT_EQ(names.size(), paths.size());
  for (size_t i = 0; i < names.size(); ++i) found[paths[i]] = names[i];
  // A link and the program it leads to are listed once, by whichever the
  // search met first.
  for (const auto& [name, a, b] : {std::tuple<std::string, std::string, std::string>{
                                       "Firefox ESR 115.5.0esr", "usr/bin/firefox-esr", "usr/lib/firefox-esr/firefox-esr"},
                                   {"Google Chrome 121.0.6167.85", "usr/bin/google-chrome-stable",
                                    "opt/google/chrome/google-chrome"}}) {
    const bool first = found.count(m.c / a) > 0;
    const bool second = found.count(m.c / b) > 0;
    EXPECT_NE(first, second) << name;
    EXPECT_EQ(found[m.c / (first ? a : b)], name);
    found.erase(m.c / a);
    found.erase(m.c / b);
  }
  const std::map<std::string, std::string> expected = {
      {m.c / "usr/bin/chromium", "Chromium 120.0.6099.224"},
      {m.c / "snap/bin/firefox", "Firefox 121.0-1"},
      {m.c / "var/lib/flatpak/exports/bin/org.gnome.Epiphany", "Web 45.1"},
      {m.c / "home/tester/.local/share/flatpak/exports/bin/org.mozilla.firefox", "Firefox 122.0"},
      {m.c / "usr/bin/falkon", "Falkon"},
      {m.e / "usr/bin/konqueror", "Konqueror 23.08.1"},
      {m.e / "opt/falkon-beta/falkon", "Falkon \u00dfeta"},  // shown as the letter, not stray bytes
  };
  EXPECT_EQ(found, expected);
  EXPECT_TRUE(m.messages.empty());
}

TEST(BrowserWindow, SearchThatFindsNothingSaysSoPlainly) {
  Machine m;
  m.c.write("Program Files/Netscape/Program/netscape.exe", test::peWithVersion(U"4.75"));
  test::writeProgram(m.d, "usr/bin/firefox");  // a CD-ROM: not searched
  TBrowserWindow window(m.options());
  search(window);
  EXPECT_EQ(window.BrowserNames->count(), 0);
  EXPECT_EQ(m.messages, std::vector<std::string>{kNoBrowserFound});
  search(window);
  EXPECT_EQ(m.messages.size(), 2u) << "each search that finds nothing says so";
  test::writeProgram(m.e, "usr/bin/firefox");
  search(window);
  EXPECT_EQ(m.messages.size(), 2u) << "a search that found a browser says nothing";
  EXPECT_EQ(window.BrowserNames->count(), 1);
}

TEST(BrowserWindow, TwoCopiesOfOneBrowserGiveTwoEntries) {
  Machine m;
  test::installChromium(m.c, "120");
  test::writeProgram(m.c, "opt/chromium-copy/chromium");
  TBrowserWindow window(m.options());
  search(window);
  EXPECT_EQ(itemsOf(window.BrowserNames), (std::vector<std::string>{"Chromium 120", "Chromium 120"}));
  auto paths = itemsOf(window.BrowserPaths);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{m.c.path() + "opt/chromium-copy/chromium", m.c.path() + "usr/bin/chromium"}));
}

TEST(BrowserWindow, ALauncherAndTheProgramItStartsAreListedOnceWithTheVersion) {
  Machine m;
  test::installDebianChromium(m.c, "156.0.8078.129-1~deb12u1");
  test::installFirefoxEsr(m.c, "115.5.0esr");
  test::installFirefoxWrapper(m.c);
  TBrowserWindow window(m.options());
  search(window);
  auto names = itemsOf(window.BrowserNames);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Chromium Web Browser 156.0.8078.129", "Firefox ESR 115.5.0esr"}));
  for (const std::string& path : itemsOf(window.BrowserPaths))
    EXPECT_EQ(path.rfind(m.c.path() + "usr/bin/", 0), 0u) << path << ": listed under its launcher";
}

TEST(BrowserWindow, ANewSearchEmptiesTheLists) {
  Machine m;
  test::writeProgram(m.c, "A/falkon");
  TBrowserWindow window(m.options());
  search(window);
  search(window);
  EXPECT_EQ(window.BrowserNames->count(), 1);
  EXPECT_EQ(window.BrowserPaths->count(), 1);
}

TEST(BrowserWindow, ChoosingAnEntryAndTheDefaultCheckBox) {
  Machine m;
  test::writeProgram(m.c, "A/falkon");
  test::writeProgram(m.c, "B/opera");
  TBrowserWindow window(m.options());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_TRUE(window.DefaultBrowserCheck->isChecked()) << "shown with \"default\"";
  search(window);
  ASSERT_EQ(window.BrowserNames->count(), 2);

  // A click on the second entry chooses its path and unticks the box.
  const QRect second = window.BrowserNames->visualItemRect(window.BrowserNames->item(1));
  QTest::mouseClick(window.BrowserNames->viewport(), Qt::LeftButton, {}, second.center());
  EXPECT_EQ(window.currentBrowser(), itemsOf(window.BrowserPaths)[1]);
  EXPECT_FALSE(window.DefaultBrowserCheck->isChecked());

  // Ticking the box chooses "default"; the selection stays but means nothing.
  window.DefaultBrowserCheck->click();
  EXPECT_TRUE(window.DefaultBrowserCheck->isChecked());
  EXPECT_EQ(window.currentBrowser(), "default");
  EXPECT_TRUE(window.BrowserNames->item(1)->isSelected());

  // Unticking it changes nothing.
  window.DefaultBrowserCheck->click();
  EXPECT_FALSE(window.DefaultBrowserCheck->isChecked());
  EXPECT_EQ(window.currentBrowser(), "default");

  // Without a selection a click chooses nothing.
  window.BrowserNames->clearSelection();
  window.BrowserNamesClick();
  EXPECT_EQ(window.currentBrowser(), "default");
  window.close();
}

TEST(BrowserWindow, ShowingWithASavedPathLeavesTheBoxUnticked) {
  Machine m;
  TBrowserWindow window(m.options());
  window.browser->setText(QStringLiteral("/usr/bin/firefox"));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_FALSE(window.DefaultBrowserCheck->isChecked());
  EXPECT_EQ(window.currentBrowser(), "/usr/bin/firefox");
  window.close();
}

TEST(BrowserWindow, DoubleClickChoosesAndCloses) {
  Machine m;
  test::writeProgram(m.c, "A/falkon");
  TBrowserWindow window(m.options());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  search(window);
  const QRect first = window.BrowserNames->visualItemRect(window.BrowserNames->item(0));
  // A double click begins with a press and release on the same entry.
  QTest::mouseClick(window.BrowserNames->viewport(), Qt::LeftButton, {}, first.center());
  QTest::mouseDClick(window.BrowserNames->viewport(), Qt::LeftButton, {}, first.center());
  EXPECT_EQ(window.currentBrowser(), m.c.path() + "A/falkon");
  EXPECT_FALSE(window.isVisible());
}

TEST(BrowserWindow, CloseStopsBothSearchesAndHelpOpensTopic32) {
  Machine m;
  for (int i = 0; i < 300; ++i) m.c.write("d" + std::to_string(i) + "/x/readme.txt", "x");
  TBrowserWindow window(m.options());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::mouseClick(window.SpeedButton4, Qt::LeftButton);
  EXPECT_EQ(m.helpContexts, std::vector<int>{32});
  QTest::mouseClick(window.SpeedButton1, Qt::LeftButton);
  QTest::mouseClick(window.SpeedButton2, Qt::LeftButton);
  EXPECT_TRUE(window.FileFinder1.thread()->terminated());
  EXPECT_TRUE(window.FileFinder2.thread()->terminated());
  EXPECT_FALSE(window.isVisible());
}

TEST(BrowserWindow, ShownModallyFromTheMenu) {
  Machine m;
  TBrowserWindow window(m.options());
  bool sawModal = false;
  QTimer closer;
  closer.setInterval(10);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (QApplication::activeModalWidget() == &window) {
      sawModal = true;
      window.SpeedButton2->click();
    }
  });
  closer.start();
  window.showModally();
  EXPECT_TRUE(sawModal);
  EXPECT_FALSE(window.isVisible());
}

TEST(BrowserWindow, SavedRowsAreRestoredAfterARestart) {
  Machine m;
  test::writeProgram(m.c, "A/falkon");
  test::writeProgram(m.c, "B/opera");
  std::vector<std::string> names, paths;
  {
    TBrowserWindow window(m.options());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    search(window);
    names = itemsOf(window.BrowserNames);
    paths = itemsOf(window.BrowserPaths);
    window.BrowserNames->item(0)->setSelected(true);
    window.BrowserNamesClick();
    window.SpeedButton2Click();  // hiding saves
  }
  ASSERT_EQ(names.size(), 2u);
  // The names are stored plain, the paths and the choice scrambled.
  const Registry registry(m.settings.path());
  const std::string key = "Software\\Tallowbrook Software\\Glimmerax\\1.0\\BrowserWindow";
  const auto storedNames = registry.queryValue(RegRoot::LocalMachine, key + "\\BrowserNames", "Items");
  const auto storedPaths = registry.queryValue(RegRoot::LocalMachine, key + "\\BrowserPaths", "Items");
  const auto storedChoice = registry.queryValue(RegRoot::LocalMachine, key, "Current Browser");
  ASSERT_TRUE(storedNames && storedPaths && storedChoice);
  EXPECT_NE(storedNames->data.find(names[0]), std::string::npos);
  EXPECT_EQ(storedPaths->data.find(m.c.path()), std::string::npos);
  EXPECT_EQ(storedChoice->data.find(m.c.path()), std::string::npos);

  TBrowserWindow again(m.options());
  EXPECT_EQ(itemsOf(again.BrowserNames), names);
  EXPECT_EQ(itemsOf(again.BrowserPaths), paths);
  EXPECT_EQ(again.currentBrowser(), paths[0]);
  again.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
  EXPECT_FALSE(again.DefaultBrowserCheck->isChecked());
  again.close();
}

TEST(BrowserWindow, DestroyedWhileSearchingWithoutDeadlock) {
  Machine m;
  for (int i = 0; i < 100; ++i) test::writeProgram(m.c, "d" + std::to_string(i) + "/falkon");
  auto window = std::make_unique<TBrowserWindow>(m.options());
  window->SpeedButton1Click();
  while (!window->FileFinder1.thread()->waitingForDelivery()) QThread::usleep(100);
  window.reset();
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  SUCCEED();
}

}  // namespace
}  // namespace glx
