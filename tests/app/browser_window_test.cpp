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

#include "platform/registry.h"
#include "settings/bound_widgets.h"
#include "settings/settings_store.h"
#include "tests/platform/pe_fixture.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

// A guard against a hang, not a timing assertion.
bool spinUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 60000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::usleep(200);
  }
  return true;
}

std::string noSlash(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

std::vector<std::string> itemsOf(const GlxListBox* list) {
  std::vector<std::string> items;
  for (const QString& s : list->items()) items.push_back(s.toStdString());
  return items;
}

// A machine: drives in temporary folders and a settings folder of its own.
struct Machine {
  TempDir settings, c, d, e;
  DriveTable table;
  std::vector<int> helpContexts;

  Machine() {
    table.clear();
    table.set('C', DriveType::Fixed, c.path());
    table.set('D', DriveType::CdRom, d.path());
    table.set('E', DriveType::Fixed, e.path());
  }
  BrowserWindowOptions options() {
    BrowserWindowOptions o;
    o.registryFolder = settings.path();
    o.driveTable = table;
    o.showHelp = [this](int context) { helpContexts.push_back(context); };
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
  EXPECT_EQ(window.FileFinder1.fileMask(), "netscape.exe");
  EXPECT_EQ(window.FileFinder2.fileMask(), "Iexplore.exe");
  EXPECT_EQ(window.FileFinder1.drives(), "C");
  EXPECT_FALSE(window.isVisible());
}

TEST(BrowserWindow, SearchNamesBrowsersByProductAndVersion) {
  Machine m;
  m.c.write("Program Files/Netscape/Program/netscape.exe", test::peWithVersion(U"4.75"));
  m.c.write("Program Files/Internet Explorer/IEXPLORE.EXE", test::peWithVersion(U"5.00.2314.1003"));
  m.c.write("Beta/netscape.exe", test::peWithVersion(U"6.0 \u00dfeta"));
  m.c.write("Not UTF-8 \xff/netscape.exe", test::peWithVersion(U"4.0"));  // could not be started again
  m.e.write("Old/Netscape.EXE", test::peWithVersion(U"3.04"));
  m.e.write("NoVersion/netscape.exe", "MZ but nothing more");
  m.d.write("CD/netscape.exe", test::peWithVersion(U"9.9"));  // a CD-ROM: not searched
  test::VersionFixture bare;
  bare.withTranslation = false;
  const std::string bareBlock = test::versionBlock(bare);
  m.e.write("Bare/iexplore.exe", test::peFile(&bareBlock));
  TBrowserWindow window(m.options());
  search(window);
  EXPECT_EQ(window.FileFinder1.drives(), "CE");
  EXPECT_EQ(window.FileFinder2.drives(), "CE");
  std::map<std::string, std::string> found;  // path -> name
  const auto names = itemsOf(window.BrowserNames);
  const auto paths = itemsOf(window.BrowserPaths);
  ASSERT_EQ(names.size(), paths.size());
  for (size_t i = 0; i < names.size(); ++i) found[paths[i]] = names[i];
  const std::map<std::string, std::string> expected = {
      {m.c.path() + "Program Files/Netscape/Program/netscape.exe", "Netscape 4.75"},
      {m.c.path() + "Program Files/Internet Explorer/IEXPLORE.EXE", "Internet Explorer 5.00.2314.1003"},
      {m.e.path() + "Old/Netscape.EXE", "Netscape 3.04"},
      {m.e.path() + "Bare/iexplore.exe", "Internet Explorer "},
      {m.c.path() + "Beta/netscape.exe", "Netscape 6.0 \u00dfeta"},  // shown as the letter, not a stray byte
  };
  EXPECT_EQ(found, expected);
}

TEST(BrowserWindow, TwoCopiesOfOneBrowserGiveTwoEntries) {
  Machine m;
  m.c.write("A/netscape.exe", test::peWithVersion(U"4.75"));
  m.c.write("B/netscape.exe", test::peWithVersion(U"4.75"));
  TBrowserWindow window(m.options());
  search(window);
  EXPECT_EQ(itemsOf(window.BrowserNames), (std::vector<std::string>{"Netscape 4.75", "Netscape 4.75"}));
  auto paths = itemsOf(window.BrowserPaths);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{m.c.path() + "A/netscape.exe", m.c.path() + "B/netscape.exe"}));
}

TEST(BrowserWindow, ANewSearchEmptiesTheLists) {
  Machine m;
  m.c.write("A/netscape.exe", test::peWithVersion(U"4.75"));
  TBrowserWindow window(m.options());
  search(window);
  search(window);
  EXPECT_EQ(window.BrowserNames->count(), 1);
  EXPECT_EQ(window.BrowserPaths->count(), 1);
}

TEST(BrowserWindow, ChoosingAnEntryAndTheDefaultCheckBox) {
  Machine m;
  m.c.write("A/netscape.exe", test::peWithVersion(U"4.75"));
  m.c.write("B/Iexplore.exe", test::peWithVersion(U"5.5"));
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
  window.browser->setText(QStringLiteral("/opt/browser/netscape.exe"));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_FALSE(window.DefaultBrowserCheck->isChecked());
  EXPECT_EQ(window.currentBrowser(), "/opt/browser/netscape.exe");
  window.close();
}

TEST(BrowserWindow, DoubleClickChoosesAndCloses) {
  Machine m;
  m.c.write("A/netscape.exe", test::peWithVersion(U"4.75"));
  TBrowserWindow window(m.options());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  search(window);
  const QRect first = window.BrowserNames->visualItemRect(window.BrowserNames->item(0));
  // A double click begins with a press and release on the same entry.
  QTest::mouseClick(window.BrowserNames->viewport(), Qt::LeftButton, {}, first.center());
  QTest::mouseDClick(window.BrowserNames->viewport(), Qt::LeftButton, {}, first.center());
  EXPECT_EQ(window.currentBrowser(), m.c.path() + "A/netscape.exe");
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
  m.c.write("A/netscape.exe", test::peWithVersion(U"4.75"));
  m.c.write("B/Iexplore.exe", test::peWithVersion(U"5.5"));
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
  for (int i = 0; i < 100; ++i) m.c.write("d" + std::to_string(i) + "/netscape.exe", test::peWithVersion(U"1"));
  auto window = std::make_unique<TBrowserWindow>(m.options());
  window->SpeedButton1Click();
  while (!window->FileFinder1.thread()->waitingForDelivery()) QThread::usleep(100);
  window.reset();
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  SUCCEED();
}

}  // namespace
}  // namespace glx
