#include "search/browser_names.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>

#include "tests/search/browser_trees.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

std::string noSlash(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

TEST(BrowserTable, NamesTheLinuxBrowsersByTheirUsualProgramFiles) {
  std::set<std::string> names;
  for (const LinuxBrowser& b : linuxBrowsers()) names.insert(b.name);
  EXPECT_EQ(names, (std::set<std::string>{"Firefox", "Firefox ESR", "Chromium", "Google Chrome", "Microsoft Edge",
                                          "Brave", "Vivaldi", "Opera", "GNOME Web", "Falkon", "Konqueror"}));
  const std::vector<std::string> programs = browserProgramNames();
  for (const char* p : {"firefox", "firefox-esr", "chromium", "chromium-browser", "google-chrome",
                        "google-chrome-stable", "microsoft-edge", "microsoft-edge-stable", "brave-browser", "vivaldi",
                        "vivaldi-stable", "opera", "epiphany", "epiphany-browser", "falkon", "konqueror"})
    EXPECT_NE(std::find(programs.begin(), programs.end(), p), programs.end()) << p;
  const std::vector<std::string> flatpaks = browserFlatpakNames();
  for (const char* id : {"org.mozilla.firefox", "org.chromium.Chromium", "com.google.Chrome", "com.microsoft.Edge",
                         "com.brave.Browser", "com.vivaldi.Vivaldi", "com.opera.Opera", "org.gnome.Epiphany",
                         "org.kde.falkon", "org.kde.konqueror"})
    EXPECT_NE(std::find(flatpaks.begin(), flatpaks.end(), id), flatpaks.end()) << id;
}

TEST(BrowserTable, FlatpakExportFoldersOfTheSystemAndTheUser) {
  struct Case {
    const char* name;
    const char* home;
    const char* dataHome;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"default data home", "/home/ann", nullptr,
       {"var/lib/flatpak/exports/bin", "home/ann/.local/share/flatpak/exports/bin"}},
      {"XDG_DATA_HOME set", "/home/ann", "/data/ann/",
       {"var/lib/flatpak/exports/bin", "data/ann/flatpak/exports/bin"}},
      {"relative XDG_DATA_HOME is ignored", "/home/ann", "rel",
       {"var/lib/flatpak/exports/bin", "home/ann/.local/share/flatpak/exports/bin"}},
      {"no home", nullptr, nullptr, {"var/lib/flatpak/exports/bin"}},
  };
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  const char* savedData = std::getenv("XDG_DATA_HOME");
  const std::string savedDataText = savedData ? savedData : "";
  for (const Case& c : cases) {
    if (c.home) ::setenv("HOME", c.home, 1); else ::unsetenv("HOME");
    if (c.dataHome) ::setenv("XDG_DATA_HOME", c.dataHome, 1); else ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(flatpakExportFolders(), c.expected) << c.name;
  }
  ::setenv("HOME", savedHome.c_str(), 1);
  if (savedData) ::setenv("XDG_DATA_HOME", savedDataText.c_str(), 1); else ::unsetenv("XDG_DATA_HOME");
}

TEST(BrowserFiles, DesktopEntryNameIsTheUntranslatedNameOfTheMainGroup) {
  struct Case {
    const char* name;
    std::string text;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"plain", "[Desktop Entry]\nName=Firefox ESR\n", "Firefox ESR"},
      {"translations and actions skipped", test::desktopEntry("Chromium"), "Chromium"},
      {"CR LF and blanks", "# comment\r\n[Desktop Entry]\r\n  Name = Web \r\n", "Web"},
      {"only in another group", "[Desktop Action x]\nName=New Window\n[Desktop Entry]\nType=Application\n",
       std::nullopt},
      {"no group", "Name=Loose\n", std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(desktopEntryName(c.text), c.expected) << c.name;
}

TEST(BrowserFiles, IniValueReadsOneKeyOfOneGroup) {
  const std::string ini = "[Gecko]\nVersion=999\n[App]\n; note\nVendor=Mozilla\nVersion=115.5.0esr\n";
  EXPECT_EQ(iniValue(ini, "App", "Version"), "115.5.0esr");
  EXPECT_EQ(iniValue(ini, "Gecko", "Version"), "999");
  EXPECT_EQ(iniValue(ini, "App", "BuildID"), std::nullopt);
  EXPECT_EQ(iniValue(ini, "app", "Version"), std::nullopt) << "group names are exact";
}

TEST(BrowserFiles, AppStreamVersionIsTheFirstReleaseListed) {
  struct Case {
    const char* name;
    std::string xml;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"newest first", test::appStream("chromium", "120.0.6099.224"), "120.0.6099.224"},
      {"release elsewhere ignored",
       "<component><description><releases><release version=\"6\"/></releases></description>"
       "<releases><release version=\"7.1\"/></releases></component>",
       "7.1"},
      {"empty version skipped", "<component><releases><release version=\"\"/><release version=\"2\"/></releases></component>",
       "2"},
      {"no releases", "<component><id>x</id></component>", std::nullopt},
      {"not XML", "this is not xml <<<", std::nullopt},
      {"cut short", "<component><releases><release", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(appStreamVersion(c.xml), c.expected) << c.name;
}

TEST(BrowserFiles, SnapVersionIsTheTopLevelKey) {
  EXPECT_EQ(snapVersion("name: firefox\nversion: '121.0-1'\n"), "121.0-1");
  EXPECT_EQ(snapVersion("name: x\nversion: \"2.5\"\n"), "2.5");
  EXPECT_EQ(snapVersion("name: x\nversion: 3\n"), "3");
  EXPECT_EQ(snapVersion("apps:\n  x:\n    version: nested\n"), std::nullopt);
  EXPECT_EQ(snapVersion(""), std::nullopt);
}

TEST(IdentifyBrowser, NamesEachInstallFromTheFilesThatComeWithIt) {
  TempDir drive;
  const std::string root = noSlash(drive.path());
  test::installFirefoxEsr(drive, "115.5.0esr");
  test::installChromium(drive, "120.0.6099.224");
  test::installGoogleChrome(drive, "121.0.6167.85");
  test::installFirefoxSnap(drive, "121.0-1");
  test::installFlatpak(drive, "var/lib/flatpak", "org.gnome.Epiphany", "Web", "45.1", "epiphany");
  test::writeProgram(drive, "usr/bin/falkon");  // nothing else installed with it
  struct Case {
    const char* relative;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"usr/bin/firefox-esr", "Firefox ESR 115.5.0esr"},
      {"usr/lib/firefox-esr/firefox-esr", "Firefox ESR 115.5.0esr"},
      {"usr/bin/chromium", "Chromium 120.0.6099.224"},
      {"opt/google/chrome/google-chrome", "Google Chrome 121.0.6167.85"},
      {"usr/bin/google-chrome-stable", "Google Chrome 121.0.6167.85"},
      {"snap/bin/firefox", "Firefox 121.0-1"},
      {"var/lib/flatpak/exports/bin/org.gnome.Epiphany", "Web 45.1"},
      {"usr/bin/falkon", "Falkon"},
      // What cannot be started, or is no browser of the table.
      {"snap/firefox/3000/usr/lib/firefox/firefox", std::nullopt},
      {"var/lib/flatpak/app/org.gnome.Epiphany/current/active/files/bin/epiphany", std::nullopt},
      {"usr/bin/snap", std::nullopt},
      {"usr/share/applications/chromium.desktop", std::nullopt},
      {"usr/lib/firefox-esr", std::nullopt},
      {"usr/bin/missing-browser", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto find = identifyBrowser(drive / c.relative, root);
    EXPECT_EQ(find ? std::optional<std::string>(find->displayName) : std::nullopt, c.expected) << c.relative;
  }
}

TEST(IdentifyBrowser, OnlyExecutableFilesWithTheExactName) {
  TempDir drive;
  const std::string root = noSlash(drive.path());
  const std::string plain = drive.write("usr/bin/opera", "not a program");
  ::chmod(plain.c_str(), 0644);
  test::writeProgram(drive, "usr/bin/Opera");
  drive.mkdir("usr/lib/konqueror");
  EXPECT_FALSE(identifyBrowser(plain, root)) << "not executable";
  EXPECT_FALSE(identifyBrowser(drive / "usr/bin/Opera", root)) << "letter case counts";
  EXPECT_FALSE(identifyBrowser(drive / "usr/lib/konqueror", root)) << "a folder";
  EXPECT_FALSE(identifyBrowser("/elsewhere/usr/bin/opera", root)) << "not on this drive";
}

TEST(IdentifyBrowser, VersionsComeFromTheDriveTheBrowserIsOn) {
  TempDir c, e;
  test::installChromium(c, "120");
  test::writeProgram(e, "usr/bin/chromium");
  EXPECT_EQ(identifyBrowser(c / "usr/bin/chromium", noSlash(c.path()))->displayName, "Chromium 120");
  EXPECT_EQ(identifyBrowser(e / "usr/bin/chromium", noSlash(e.path()))->displayName, "Chromium");
}

TEST(IdentifyBrowser, ALinkAndItsProgramAreOneInstallationButSnapLaunchersAreNot) {
  TempDir drive;
  test::installFirefoxEsr(drive, "115");
  test::installFirefoxSnap(drive, "121");
  test::writeLink(drive, "snap/bin/chromium", "usr/bin/snap");
  EXPECT_EQ(installationKey(drive / "usr/bin/firefox-esr"), installationKey(drive / "usr/lib/firefox-esr/firefox-esr"));
  EXPECT_NE(installationKey(drive / "snap/bin/firefox"), installationKey(drive / "snap/bin/chromium"));
}

TEST(BrowserListEntry, ListsEachStartableInstallationOnce) {
  TempDir c, cd;
  test::installFirefoxEsr(c, "115");
  test::writeProgram(c, "Not UTF-8 \xff/opera");
  c.mkdir("usr/lib/chromium");
  test::writeProgram(cd, "usr/bin/vivaldi");
  DriveTable table;
  table.clear();
  table.set('C', DriveType::Fixed, c.path());
  table.set('D', DriveType::CdRom, cd.path());
  const std::string root = noSlash(c.path());
  const auto first = browserListEntry(table, root + "/usr/bin", "firefox-esr", false, {});
  ASSERT_TRUE(first);
  EXPECT_EQ(first->path, root + "/usr/bin/firefox-esr");
  EXPECT_EQ(first->displayName, "Firefox ESR 115");
  EXPECT_FALSE(browserListEntry(table, root + "/usr/lib/firefox-esr", "firefox-esr", false, {first->path}))
      << "the program the listed link leads to";
  EXPECT_TRUE(browserListEntry(table, root + "/usr/lib/firefox-esr", "firefox-esr", false, {}));
  EXPECT_FALSE(browserListEntry(table, root + "/usr/lib", "chromium", true, {})) << "a folder";
  EXPECT_FALSE(browserListEntry(table, root + "/Not UTF-8 \xff", "opera", false, {})) << "not UTF-8";
  EXPECT_FALSE(browserListEntry(table, noSlash(cd.path()) + "/usr/bin", "vivaldi", false, {})) << "on a CD-ROM";
}

TEST(BrowserFiles, ScriptExecTargetReadsTheProgramALauncherStarts) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"#!/bin/sh\nexec /usr/lib/x/chromium \"$@\"\n", "/usr/lib/x/chromium"},
      {"#!/bin/sh\nA=chromium\nLIBDIR=/usr/lib/$A\nexec $LIBDIR/${A} $FLAGS \"$@\"\n", "/usr/lib/chromium/chromium"},
      {"#!/bin/sh\nexec -a \"$0\" firefox-esr \"$@\"\n", "firefox-esr"},
      {"#!/bin/sh\nfind . -exec rm {} \\;\nexec \"$UNKNOWN\"\nexec vivaldi\n", "vivaldi"},
      {"#!/bin/sh\n# exec /not/this\necho hello\n", std::nullopt},
      {"exec /usr/bin/opera\n", std::nullopt},  // no script
  };
  for (const auto& [script, expected] : cases) EXPECT_EQ(scriptExecTarget(script), expected) << script;
}

TEST(BrowserFiles, DpkgVersionIsTheInstalledPackagesUpstreamVersion) {
  const std::string status =
      "Package: chromium-common\nStatus: install ok installed\nVersion: 1:99.0-1\n\n"
      "Package: chromium\nStatus: install ok installed\nVersion: 156.0.8078.129-1~deb12u1\n\n"
      "Package: firefox-esr\nStatus: deinstall ok config-files\nVersion: 115.5.0esr-1\n\n"
      "Package: epiphany-browser\nVersion: 2:43.1-2\nStatus: install ok installed\n";
  EXPECT_EQ(dpkgVersion(status, "chromium"), "156.0.8078.129");
  EXPECT_EQ(dpkgVersion(status, "chromium-common"), "99.0");
  EXPECT_EQ(dpkgVersion(status, "epiphany-browser"), "43.1");
  EXPECT_EQ(dpkgVersion(status, "firefox-esr"), std::nullopt) << "removed";
  EXPECT_EQ(dpkgVersion(status, "opera"), std::nullopt);
}

// Every order in which a search may find a launcher, a link and the
// program they start gives one entry, under a launcher, with the version.
TEST(BrowserListEntry, ALauncherAndTheProgramItStartsAreOneBrowser) {
  TempDir c;
  test::installDebianChromium(c, "156.0.8078.129-1~deb12u1");
  test::installFirefoxEsr(c, "115.5.0esr");
  test::installFirefoxWrapper(c);
  DriveTable table;
  table.clear();
  table.set('C', DriveType::Fixed, c.path());
  const std::string root = noSlash(c.path());
  const std::vector<std::string> finds = {"usr/lib/chromium/chromium", "usr/bin/chromium",
                                          "usr/lib/firefox-esr/firefox-esr", "usr/bin/firefox",
                                          "usr/bin/firefox-esr"};
  for (bool reversed : {false, true}) {
    std::vector<std::string> paths, names;
    std::vector<std::string> order = finds;
    if (reversed) std::reverse(order.begin(), order.end());
    for (const std::string& relative : order) {
      const std::string path = root + "/" + relative;
      const auto slash = path.rfind('/');
      const auto find = browserListEntry(table, path.substr(0, slash), path.substr(slash + 1), false, paths);
      if (!find) continue;
      if (find->replaces >= 0) {
        paths[find->replaces] = find->path;
        names[find->replaces] = find->displayName;
      } else {
        paths.push_back(find->path);
        names.push_back(find->displayName);
      }
    }
    const std::string how = reversed ? "launchers first" : "programs first";
    std::map<std::string, std::string> listing;
    for (size_t i = 0; i < paths.size(); ++i) listing[names[i]] = paths[i];
    EXPECT_EQ(listing.size(), paths.size()) << how;
    EXPECT_EQ(listing, (std::map<std::string, std::string>{
                           {"Chromium Web Browser 156.0.8078.129", root + "/usr/bin/chromium"},
                           {"Firefox ESR 115.5.0esr", root + (reversed ? "/usr/bin/firefox-esr" : "/usr/bin/firefox")}}))
        << how;
  }
  EXPECT_EQ(launchedProgram(c / "usr/bin/chromium", root), root + "/usr/lib/chromium/chromium");
  EXPECT_EQ(launchedProgram(c / "usr/bin/firefox", root), root + "/usr/lib/firefox-esr/firefox-esr");
  EXPECT_EQ(launchedProgram(c / "usr/lib/chromium/chromium", root), std::nullopt);
}

TEST(BrowserDrives, AFindBelongsToTheFixedDriveHoldingIt) {
  DriveTable table;
  table.clear();
  table.set('C', DriveType::Fixed, "/");
  table.set('E', DriveType::Fixed, "/mnt/e");
  table.set('D', DriveType::CdRom, "/mnt/e/cd");
  EXPECT_EQ(driveRootOf(table, "/usr/bin/firefox"), "");
  EXPECT_EQ(driveRootOf(table, "/mnt/e/usr/bin/firefox"), "/mnt/e");
  EXPECT_EQ(driveRootOf(table, "/mnt/e/cd/firefox"), "/mnt/e") << "a CD-ROM drive holds no finds";
  EXPECT_EQ(driveRootOf(table, "/mnt/ex/firefox"), "") << "a prefix of a name is no folder";
  table.clear();
  table.set('E', DriveType::Fixed, "/mnt/e");
  EXPECT_EQ(driveRootOf(table, "/usr/bin/firefox"), std::nullopt);
}

TEST(BrowserSearchTally, SaysNothingWasFoundOnlyAfterTheLastFinderEnds) {
  BrowserSearchTally tally;
  EXPECT_FALSE(tally.completed()) << "no search begun";
  tally.begin(2);
  EXPECT_FALSE(tally.completed());
  EXPECT_TRUE(tally.completed());
  EXPECT_FALSE(tally.completed()) << "once per search";
  tally.begin(2);
  tally.listed();
  EXPECT_FALSE(tally.completed());
  EXPECT_FALSE(tally.completed());
}

}  // namespace
}  // namespace glx
