#include "search/file_finder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "platform/drives.h"
#include "platform/registry.h"
#include "tests/support/spin_until.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

using test::spinUntil;

std::string noSlash(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

struct Recorder {
  std::vector<std::string> hits;  // folder + "|" + name
  std::vector<std::string> folders;
  std::vector<TFindThread*> senders;
  int completed = 0;

  void attach(TFileFinder& finder, bool folders_ = false) {
    finder.OnFileFound = [this](TFindThread& sender, const std::string& dir, const SearchRecord& r) {
      hits.push_back(dir + "|" + r.name);
      senders.push_back(&sender);
    };
    finder.OnCompleted = [this](TFindThread& sender) {
      ++completed;
      senders.push_back(&sender);
    };
    if (folders_)
      finder.OnChangeDirectory = [this](TFindThread&, const std::string& dir) { folders.push_back(dir); };
  }
  std::multiset<std::string> hitSet() const { return {hits.begin(), hits.end()}; }
};

DriveTable tableOf(std::initializer_list<std::pair<char, std::string>> drives) {
  DriveTable table;
  table.clear();
  for (const auto& [letter, folder] : drives) table.set(letter, DriveType::Fixed, folder);
  return table;
}

void runToCompletion(TFileFinder& finder, Recorder& recorder) {
  finder.Start();
  ASSERT_TRUE(spinUntil([&] { return recorder.completed > 0; })) << "the search never completed";
}

TEST(FileFinder, DefaultsAreThoseOfTheComponent) {
  TFileFinder finder;
  EXPECT_EQ(finder.drives(), "C");
  EXPECT_EQ(finder.fileMask(), "*.exe");
  EXPECT_FALSE(finder.caseSensitive());
  EXPECT_EQ(finder.threadPriority(), tpNormal);
  EXPECT_TRUE(finder.directories().empty());
  EXPECT_FALSE(finder.started());
  EXPECT_EQ(finder.thread(), nullptr);
}

TEST(FileFinder, DrivesKeepOnlyLettersUpperCased) {
  const std::pair<const char*, const char*> cases[] = {
      {"c d:", "CD"}, {"C", "C"}, {"", ""}, {"c:\\ e:\\", "CE"}, {"1a2B-z", "ABZ"}, {"\xe4x", "X"},
  };
  for (const auto& [given, expected] : cases) {
    TFileFinder finder;
    finder.setDrives(given);
    EXPECT_EQ(finder.drives(), expected) << "Drives set to '" << given << "'";
  }
}

TEST(FileFinder, DirectoriesAreSortedWithoutEmptiesOrDuplicates) {
  TFileFinder finder;
  finder.setDirectories({"Tools", "", "b", "Program Files", "Tools", "a", "D:\\Tools"});
  const std::vector<std::string> expected = {"a", "b", "D:\\Tools", "Program Files", "Tools"};
  EXPECT_EQ(finder.directories(), expected);
}

TEST(FileFinder, MaskMatchesLikeTheWindowsFileSearch) {
  struct Case {
    const char* name;
    const char* mask;
    bool matches;
  };
  const Case cases[] = {
      {"netscape.exe", "netscape.exe", true}, {"NETSCAPE.EXE", "netscape.exe", true},
      {"netscape.exe", "Iexplore.exe", false}, {"IEXPLORE.exe", "Iexplore.exe", true},
      {"a.exe", "*.exe", true},               {"a.exe.bak", "*.exe", false},
      {".exe", "*.exe", true},                {"readme", "*.*", true},
      {"readme", "*", true},                  {"ab", "a?", true},
      {"a", "a?", false},                     {"abc", "a*c", true},
      {"abcbc", "a*bc", true},                {"abcbd", "a*bc", false},
      {"netscape.exe2", "netscape.exe", false}, {"xnetscape.exe", "netscape.exe", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(matchesMask(c.name, c.mask), c.matches) << "'" << c.name << "' against '" << c.mask << "'";
}

TEST(FileFinder, FixedDrivesComeFromTheDriveTable) {
  DriveTable table;
  table.clear();
  table.set('C', DriveType::Fixed, "/");
  table.set('D', DriveType::CdRom, "/media/cdrom");
  table.set('E', DriveType::Fixed, "/srv");
  table.set('F', DriveType::Remote, "/mnt/share");
  TFileFinder finder;
  finder.setDriveTable(table);
  EXPECT_EQ(finder.GetFixedDrives(), "CE");
  finder.setDriveTable(DriveTable());
  EXPECT_EQ(finder.GetFixedDrives(), "C");
}

TEST(FileFinder, ExactNameIsReportedOncePerFolderWithItsFolder) {
  TempDir dir;
  dir.write("netscape.exe", "1");
  dir.write("Program Files/Netscape/NETSCAPE.EXE", "2");
  dir.write("Program Files/Netscape/netscape.exe.old", "x");
  dir.write("Program Files/Other/readme.txt", "x");
  dir.write("deep/a/b/c/netscape.exe", "3");
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', dir.path()}}));
  finder.setFileMask("netscape.exe");
  Recorder rec;
  rec.attach(finder);
  runToCompletion(finder, rec);
  const std::string root = noSlash(dir.path());
  const std::multiset<std::string> expected = {root + "|netscape.exe",
                                               root + "/Program Files/Netscape|NETSCAPE.EXE",
                                               root + "/deep/a/b/c|netscape.exe"};
  EXPECT_EQ(rec.hitSet(), expected);
  EXPECT_EQ(rec.completed, 1);
}

TEST(FileFinder, RecordDescribesTheHit) {
  TempDir dir;
  dir.write("app.exe", std::string(1234, 'x'));
  dir.mkdir("folder.exe");
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', dir.path()}}));
  std::vector<SearchRecord> records;
  bool done = false;
  finder.OnFileFound = [&](TFindThread&, const std::string&, const SearchRecord& r) { records.push_back(r); };
  finder.OnCompleted = [&](TFindThread&) { done = true; };
  finder.Start();
  ASSERT_TRUE(spinUntil([&] { return done; }));
  ASSERT_EQ(records.size(), 2u);
  std::sort(records.begin(), records.end(), [](auto& a, auto& b) { return a.name < b.name; });
  EXPECT_EQ(records[0].name, "app.exe");
  EXPECT_EQ(records[0].size, 1234);
  EXPECT_EQ(records[0].attr & faDirectory, 0u);
  EXPECT_NE(records[0].time, 0);
  // Folders whose names match the mask are hits too.
  EXPECT_EQ(records[1].name, "folder.exe");
  EXPECT_NE(records[1].attr & faDirectory, 0u);
}

TEST(FileFinder, DirectoriesWithAndWithoutDrive) {
  TempDir c, d;
  for (const TempDir* drive : {&c, &d}) {
    drive->write("Program Files/hit.exe", "x");
    drive->write("Tools/hit.exe", "x");
    drive->write("Elsewhere/hit.exe", "x");
  }
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', c.path()}, {'D', d.path()}}));
  finder.setDrives("CD");
  finder.setDirectories({"Program Files", "D:\\Tools", "x:\\Elsewhere"});
  finder.setFileMask("hit.exe");
  Recorder rec;
  rec.attach(finder);
  runToCompletion(finder, rec);
  // Drives in order, and within a drive the entries in their sorted order
  // ("D:\Tools" sorts before "Program Files").
  const std::vector<std::string> expected = {noSlash(c.path()) + "/Program Files|hit.exe",
                                             noSlash(d.path()) + "/Tools|hit.exe",
                                             noSlash(d.path()) + "/Program Files|hit.exe"};
  EXPECT_EQ(rec.hits, expected);
}

TEST(FileFinder, DirectoryEntriesMayUseEitherSeparatorAndLowerCaseDrive) {
  TempDir c;
  c.write("Program Files/Sub/hit.exe", "x");
  c.write("Tools/hit.exe", "x");
  const std::vector<std::vector<std::string>> cases = {
      {"\\Program Files\\Sub"}, {"Program Files/Sub"}, {"c:\\Program Files\\Sub\\"}, {"C:/Program Files/Sub"}};
  for (const auto& directories : cases) {
    TFileFinder finder;
    finder.setDriveTable(tableOf({{'C', c.path()}}));
    finder.setDirectories(directories);
    finder.setFileMask("hit.exe");
    Recorder rec;
    rec.attach(finder);
    runToCompletion(finder, rec);
    EXPECT_EQ(rec.hits, std::vector<std::string>{noSlash(c.path()) + "/Program Files/Sub|hit.exe"})
        << "Directories entry '" << directories[0] << "'";
  }
}

TEST(FileFinder, RootFolderReadsAsEmptySoFolderSlashNameIsRight) {
  // The real root, limited to one folder that exists on every machine.
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', "/"}}));
  finder.setDirectories({"\\etc"});
  finder.setFileMask("passwd");
  Recorder rec;
  rec.attach(finder);
  runToCompletion(finder, rec);
  ASSERT_FALSE(rec.hits.empty());
  EXPECT_EQ(rec.hits[0], "/etc|passwd");
}

TEST(FileFinder, SearchWithoutHitsEndsWithCompleted) {
  TempDir dir;
  dir.write("a/b/readme.txt", "x");
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', dir.path()}}));
  finder.setFileMask("netscape.exe");
  Recorder rec;
  rec.attach(finder, true);
  runToCompletion(finder, rec);
  EXPECT_TRUE(rec.hits.empty());
  EXPECT_EQ(rec.completed, 1);
  const std::string root = noSlash(dir.path());
  EXPECT_EQ(rec.folders, (std::vector<std::string>{root, root + "/a", root + "/a/b"}));
}

TEST(FileFinder, DriveMissingFromTheTableIsSkipped) {
  TempDir dir;
  dir.write("x.exe", "x");
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', dir.path()}}));
  finder.setDrives("QC");
  Recorder rec;
  rec.attach(finder);
  runToCompletion(finder, rec);
  EXPECT_EQ(rec.hits, std::vector<std::string>{noSlash(dir.path()) + "|x.exe"});
}

TEST(FileFinder, SymbolicLinkLoopIsNotFollowed) {
  TempDir dir;
  dir.write("a/hit.exe", "x");
  ASSERT_EQ(::symlink("..", (dir / "a/up").c_str()), 0);
  ASSERT_EQ(::symlink(".", (dir / "a/self").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "a").c_str(), (dir / "link-to-a").c_str()), 0);
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', dir.path()}}));
  finder.setFileMask("hit.exe");
  Recorder rec;
  rec.attach(finder);
  runToCompletion(finder, rec);
  EXPECT_EQ(rec.hits, std::vector<std::string>{noSlash(dir.path()) + "/a|hit.exe"});
}

TEST(FileFinder, LinkToAFolderMatchingTheMaskIsAFolderHitAndIsNotFollowed) {
  TempDir dir;
  dir.write("real/inside.app", std::string(5000, 'x'));
  dir.write("real/filler.bin", std::string(70000, 'y'));
  ASSERT_EQ(::symlink((dir / "real").c_str(), (dir / "linked.app").c_str()), 0);
  dir.write("plain.app", std::string(77, 'z'));
  ASSERT_EQ(::symlink((dir / "plain.app").c_str(), (dir / "filelink.app").c_str()), 0);
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', dir.path()}}));
  finder.setFileMask("*.app");
  std::map<std::string, SearchRecord> records;  // folder + "|" + name
  bool done = false;
  finder.OnFileFound = [&](TFindThread&, const std::string& folder, const SearchRecord& r) {
    records[folder + "|" + r.name] = r;
  };
  finder.OnCompleted = [&](TFindThread&) { done = true; };
  finder.Start();
  ASSERT_TRUE(spinUntil([&] { return done; }));
  const std::string root = noSlash(dir.path());
  // The link is not entered: the file inside the target is found once, under
  // the real folder only.
  ASSERT_EQ(records.size(), 4u);
  ASSERT_TRUE(records.count(root + "|linked.app"));
  const SearchRecord& link = records[root + "|linked.app"];
  EXPECT_NE(link.attr & faDirectory, 0u) << "a link to a folder is reported as a folder";
  EXPECT_EQ(link.size, 0);
  EXPECT_EQ(link.fullSize, 0u);
  EXPECT_EQ(link.attr & faArchive, 0u);
  // A link to a file still reads as that file.
  const SearchRecord& fileLink = records[root + "|filelink.app"];
  EXPECT_EQ(fileLink.attr & faDirectory, 0u);
  EXPECT_EQ(fileLink.size, 77);
  EXPECT_TRUE(records.count(root + "/real|inside.app"));
  EXPECT_TRUE(records.count(root + "|plain.app"));
}

TEST(FileFinder, HiddenFoldersAreNotEnteredButHiddenFilesMatch) {
  TempDir dir;
  dir.write(".hidden/inside.exe", "x");
  dir.write("visible/.dotted.exe", "x");
  dir.write("visible/plain.exe", "x");
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', dir.path()}}));
  finder.setFileMask("*.exe");
  Recorder rec;
  rec.attach(finder);
  runToCompletion(finder, rec);
  const std::string root = noSlash(dir.path());
  EXPECT_EQ(rec.hitSet(), (std::multiset<std::string>{root + "/visible|.dotted.exe", root + "/visible|plain.exe"}));
}

TEST(FileFinder, PseudoFileSystemsAreNeverEntered) {
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', "/"}}));
  finder.setDirectories({"\\proc", "\\sys", "\\dev", "\\run"});
  finder.setFileMask("*");
  Recorder rec;
  rec.attach(finder, true);
  runToCompletion(finder, rec);
  EXPECT_TRUE(rec.hits.empty());
  EXPECT_TRUE(rec.folders.empty());
}

TEST(WalkFence, FencesPseudoAndNetworkMountsOnly) {
  const std::string mounts =
      "proc /proc proc rw 0 0\n"
      "/dev/sda1 / ext4 rw 0 0\n"
      "tmpfs /tmp tmpfs rw 0 0\n"
      "server:/x /mnt/nfs\\040share nfs4 rw 0 0\n"
      "host:/y /home/me/remote fuse.sshfs rw 0 0\n"
      "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
      "/dev/sdb1 /data ext4 rw 0 0\n";
  const WalkFence fence = WalkFence::fromMountTable(mounts);
  const std::pair<const char*, bool> cases[] = {
      {"/proc", true},  {"/sys", true},       {"/dev", true},           {"/run", true},
      {"/tmp", false},  {"/data", false},     {"/mnt/nfs share", true}, {"/home/me/remote", true},
      {"", false},      {"/home/me", false},  {"/sys/fs/cgroup", true},
  };
  for (const auto& [path, excluded] : cases) EXPECT_EQ(fence.excluded(path), excluded) << "'" << path << "'";
}

TEST(FileFinder, FilesListLimitsTheHits) {
  TempDir dir;
  dir.write("a/one.exe", "x");
  dir.write("a/two.exe", "x");
  dir.write("b/one.exe", "x");
  dir.write("b/three.exe", "x");
  const std::string root = noSlash(dir.path());
  struct Case {
    std::vector<std::string> files;
    std::multiset<std::string> expected;
  };
  const std::string rel = root.substr(1);
  const Case cases[] = {
      {{"ONE.EXE"}, {root + "/a|one.exe", root + "/b|one.exe"}},
      {{"\\\\a\\two.exe"}, {root + "/a|two.exe"}},
      {{"b/THREE.exe"}, {root + "/b|three.exe"}},
      {{"C:\\b\\one.exe"}, {root + "/b|one.exe"}},
      {{"D:\\b\\one.exe"}, {}},
      {{"/" + rel + "/a/one.exe"}, {root + "/a|one.exe"}},
      {{"\\", "", "nothing.exe"}, {}},
  };
  for (const Case& c : cases) {
    TFileFinder finder;
    finder.setDriveTable(tableOf({{'C', dir.path()}}));
    finder.setFiles(c.files);
    Recorder rec;
    rec.attach(finder);
    runToCompletion(finder, rec);
    EXPECT_EQ(rec.hitSet(), c.expected) << "Files starting '" << c.files[0] << "'";
  }
}

TEST(FileFinder, ContainingTextFindsTextAcrossTheChunkBoundary) {
  TempDir dir;
  const std::string text = "Boundary-Marker";
  struct Case {
    const char* name;
    size_t offset;  // where the text starts; npos: not there
    size_t size;
  };
  const size_t npos = std::string::npos;
  const Case cases[] = {
      {"start.bin", 0, 100000},
      {"straddle.bin", 32767 - 7, 70000},
      {"after.bin", 32767, 70000},
      {"second-straddle.bin", 2 * 32767 - 2 * text.size() - 3, 70000},
      {"end.bin", 99985, 100000},
      {"exact.bin", 0, text.size()},
      {"absent.bin", npos, 70000},
      {"short.bin", npos, 5},
  };
  for (const Case& c : cases) {
    std::string bytes(c.size, 'a');
    if (c.offset != npos) bytes.replace(c.offset, text.size(), text);
    dir.write(std::string("files/") + c.name, bytes);
  }
  for (bool caseSensitive : {false, true}) {
    for (const std::string& wanted : {text, std::string("boundary-marker")}) {
      TFileFinder finder;
      finder.setDriveTable(tableOf({{'C', dir.path()}}));
      finder.setFileMask("*.bin");
      finder.setContainingText(wanted);
      finder.setCaseSensitive(caseSensitive);
      Recorder rec;
      rec.attach(finder);
      runToCompletion(finder, rec);
      std::multiset<std::string> expected;
      if (!caseSensitive || wanted == text)
        for (const Case& c : cases)
          if (c.offset != npos) expected.insert(noSlash(dir.path()) + "/files|" + c.name);
      EXPECT_EQ(rec.hitSet(), expected) << "text '" << wanted << "' caseSensitive " << caseSensitive;
    }
  }
}

TEST(FileFinder, ContentSearchHandlesTextsAsLongAsAChunk) {
  // The overlap equals the text's length; a text of a chunk or more must
  // still let the search advance and end.
  TempDir dir;
  const std::string text(40000, 'q');
  std::string bytes(200000, 'a');
  bytes.replace(120000, text.size(), text);
  const std::string path = dir.write("big.bin", bytes);
  EXPECT_TRUE(fileContainsText(path, bytes.size(), text, true));
  std::string other = text;
  other.back() = 'r';
  EXPECT_FALSE(fileContainsText(path, bytes.size(), other, true));
  EXPECT_FALSE(fileContainsText(dir / "missing.bin", 10, "a", true));
}

TEST(FileFinder, StopThenStartDeliversOnlyTheNewSearch) {
  TempDir oldTree, newTree;
  for (int i = 0; i < 200; ++i) oldTree.write("d" + std::to_string(i) + "/old.exe", "x");
  newTree.write("n/new.exe", "x");
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', oldTree.path()}, {'D', newTree.path()}}));
  Recorder rec;
  rec.attach(finder);
  finder.Start();
  TFindThread* first = finder.thread();
  // Let the old search hand over some hits, so some are certainly pending.
  ASSERT_TRUE(spinUntil([&] { return rec.hits.size() >= 3; }));
  finder.Stop();
  EXPECT_TRUE(first->terminated());
  finder.setDrives("D");
  const size_t before = rec.hits.size();
  // On a slow machine the old search may have finished, and said so, before
  // it was stopped: only what comes after this start counts.
  const int completedBefore = rec.completed;
  finder.Start();
  ASSERT_TRUE(spinUntil([&] { return rec.completed > completedBefore; }));
  EXPECT_EQ(rec.completed, completedBefore + 1);
  const std::vector<std::string> after(rec.hits.begin() + static_cast<long>(before), rec.hits.end());
  EXPECT_EQ(after, std::vector<std::string>{noSlash(newTree.path()) + "/n|new.exe"});
  for (size_t i = before; i < rec.senders.size(); ++i) EXPECT_EQ(rec.senders[i], finder.thread()) << "event " << i;
}

TEST(FileFinder, StopInsideAHandlerEndsTheDeliveries) {
  TempDir dir;
  for (int i = 0; i < 50; ++i) dir.write("d" + std::to_string(i) + "/x.exe", "x");
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', dir.path()}}));
  int hits = 0;
  bool completed = false;
  finder.OnFileFound = [&](TFindThread&, const std::string&, const SearchRecord&) {
    ++hits;
    finder.Stop();
  };
  finder.OnCompleted = [&](TFindThread&) { completed = true; };
  finder.Start();
  ASSERT_TRUE(spinUntil([&] { return hits > 0; }));
  // Let the thread run out; nothing more may arrive.
  ASSERT_TRUE(spinUntil([&] { return finder.thread()->finishedRunning(); }));
  for (int i = 0; i < 50; ++i) QCoreApplication::processEvents();
  EXPECT_EQ(hits, 1);
  EXPECT_FALSE(completed);
}

// The old search is blocked handing over an event while the owning thread,
// not running its event loop, starts a new search or destroys the finder.
TEST(FileFinder, StartWhileTheOldSearchWaitsForADeliveryDoesNotDeadlock) {
  TempDir dir;
  for (int i = 0; i < 20; ++i) dir.write("d" + std::to_string(i) + "/x.exe", "x");
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', dir.path()}}));
  Recorder rec;
  rec.attach(finder, true);
  finder.Start();
  TFindThread* old = finder.thread();
  while (!old->waitingForDelivery()) QThread::usleep(100);
  finder.Start();  // must return: the old thread's pending delivery is dropped
  ASSERT_TRUE(spinUntil([&] { return rec.completed > 0; }));
  EXPECT_EQ(rec.completed, 1);
  EXPECT_EQ(rec.hits.size(), 20u);
  for (size_t i = 0; i < rec.senders.size(); ++i) EXPECT_EQ(rec.senders[i], finder.thread()) << "event " << i;
}

TEST(FileFinder, DestroyingAFinderWhoseSearchWaitsForADeliveryDoesNotDeadlock) {
  TempDir dir;
  for (int i = 0; i < 20; ++i) dir.write("d" + std::to_string(i) + "/x.exe", "x");
  Recorder rec;
  {
    auto finder = std::make_unique<TFileFinder>();
    finder->setDriveTable(tableOf({{'C', dir.path()}}));
    rec.attach(*finder, true);
    finder->Start();
    while (!finder->thread()->waitingForDelivery()) QThread::usleep(100);
    finder.reset();
  }
  // The dropped delivery is still queued; running it must do nothing.
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  EXPECT_TRUE(rec.hits.empty());
  EXPECT_TRUE(rec.folders.empty());
  EXPECT_EQ(rec.completed, 0);
}

TEST(FileFinder, HandlerMayStartItsOwnFinderAgain) {
  TempDir dir;
  for (int i = 0; i < 20; ++i) dir.write("d" + std::to_string(i) + "/x.exe", "x");
  TFileFinder finder;
  finder.setDriveTable(tableOf({{'C', dir.path()}}));
  int restarts = 0;
  int hits = 0;
  int completed = 0;
  finder.OnFileFound = [&](TFindThread&, const std::string&, const SearchRecord&) {
    ++hits;
    if (restarts < 3) {
      ++restarts;
      finder.Start();  // inside a delivery of the search it replaces
    }
  };
  finder.OnCompleted = [&](TFindThread&) { ++completed; };
  finder.Start();
  ASSERT_TRUE(spinUntil([&] { return completed > 0; }));
  EXPECT_EQ(restarts, 3);
  EXPECT_EQ(hits, 3 + 20);
  EXPECT_EQ(completed, 1);
}

TEST(FileFinder, HandlerMayDestroyItsOwnFinder) {
  TempDir dir;
  for (int i = 0; i < 20; ++i) dir.write("d" + std::to_string(i) + "/x.exe", "x");
  auto finder = std::make_unique<TFileFinder>();
  finder->setDriveTable(tableOf({{'C', dir.path()}}));
  int hits = 0;
  finder->OnFileFound = [&](TFindThread&, const std::string&, const SearchRecord&) {
    ++hits;
    finder.reset();  // the window holding it closes for good
  };
  finder->Start();
  ASSERT_TRUE(spinUntil([&] { return finder == nullptr; }));
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  EXPECT_EQ(hits, 1);
}

TEST(FileFinder, TwoFindersSearchAtTheSameTime) {
  TempDir dir;
  dir.write("a/netscape.exe", "x");
  dir.write("b/Iexplore.exe", "x");
  TFileFinder one, two;
  for (TFileFinder* f : {&one, &two}) f->setDriveTable(tableOf({{'C', dir.path()}}));
  one.setFileMask("netscape.exe");
  two.setFileMask("Iexplore.exe");
  Recorder r1, r2;
  r1.attach(one);
  r2.attach(two);
  one.Start();
  two.Start();
  ASSERT_TRUE(spinUntil([&] { return r1.completed && r2.completed; }));
  EXPECT_EQ(r1.hits, std::vector<std::string>{noSlash(dir.path()) + "/a|netscape.exe"});
  EXPECT_EQ(r2.hits, std::vector<std::string>{noSlash(dir.path()) + "/b|Iexplore.exe"});
}

TEST(DriveTable, ValuesReplaceTheDefaultTable) {
  const auto table = DriveTable::fromValues({{"C", "fixed:/"},
                                             {"d", "cdrom:/media/cdrom/"},
                                             {"E", "FIXED:/srv/data"},
                                             {"F", "bogus:/x"},
                                             {"GG", "fixed:/y"},
                                             {"H", "fixed:relative"},
                                             {"I", "nocolon"}});
  EXPECT_EQ(table.type('C'), DriveType::Fixed);
  EXPECT_EQ(table.folder('C'), "");
  EXPECT_EQ(table.type('D'), DriveType::CdRom);
  EXPECT_EQ(table.folder('D'), "/media/cdrom");
  EXPECT_EQ(table.folder('e'), "/srv/data");
  for (char c : {'F', 'G', 'H', 'I', 'Z'}) {
    EXPECT_FALSE(table.has(c)) << c;
    EXPECT_EQ(table.type(c), DriveType::NoRootDir) << c;
  }
  const auto fallback = DriveTable::fromValues({{"X", "junk"}});
  EXPECT_EQ(fallback.type('C'), DriveType::Fixed);
  EXPECT_FALSE(fallback.has('X'));
}

TEST(DriveTable, ReadFromTheRegistry) {
  TempDir settings;
  Registry registry(settings.path());
  EXPECT_EQ(DriveTable::fromRegistry(registry).type('C'), DriveType::Fixed);
  registry.setValue(RegRoot::LocalMachine, "System\\Drives", "C", RegValue::string("fixed:/"));
  registry.setValue(RegRoot::LocalMachine, "System\\Drives", "D", RegValue::string("cdrom:/media/cdrom"));
  registry.setValue(RegRoot::LocalMachine, "System\\Drives", "E", RegValue::string("fixed:" + settings.path()));
  registry.setValue(RegRoot::LocalMachine, "System\\Drives", "F", RegValue::dword(3));
  const DriveTable table = DriveTable::fromRegistry(registry);
  TFileFinder finder;
  finder.setDriveTable(table);
  EXPECT_EQ(finder.GetFixedDrives(), "CE");
  EXPECT_EQ(table.folder('E'), noSlash(settings.path()));
}

}  // namespace
}  // namespace glx
