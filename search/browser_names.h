// Which web browsers the browser selection window looks for, and how a
// found program is named in its list: the product's display name and its
// version, read from the files installed with it (desktop entries,
// AppStream metadata, Firefox's application.ini, a snap's snap.yaml, the
// Debian package that installed it). A launcher (a link, or a script that
// execs the program) and the program it starts are one browser, named
// after the program it starts. A browser is never started to learn its
// version.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/drives.h"

namespace glx {

struct LinuxBrowser {
  std::string name;                   // display name when no desktop entry gives one
  std::vector<std::string> programs;  // its usual program file names
  std::vector<std::string> ids;       // desktop entry and AppStream ids, most likely first
  std::string flatpakId;              // its launcher's name in a Flatpak export folder
};

// Firefox, Firefox ESR, Chromium, Google Chrome, Microsoft Edge, Brave,
// Vivaldi, Opera, GNOME Web, Falkon and Konqueror.
const std::vector<LinuxBrowser>& linuxBrowsers();

// Every program file name of the table (the search's file list).
std::vector<std::string> browserProgramNames();
// Every Flatpak launcher name of the table.
std::vector<std::string> browserFlatpakNames();
// The Flatpak export folders, relative to a drive's root: the system's and
// the user's ($XDG_DATA_HOME/flatpak/exports/bin, by default under ~/.local/share).
std::vector<std::string> flatpakExportFolders();

struct BrowserFind {
  const LinuxBrowser* browser = nullptr;
  std::string path;         // the program file as found
  std::string displayName;  // as the list shows it: name, a blank and the version when known
  std::string version;      // empty when no installed file tells it
  // For browserListEntry: the index in `listed` of the same installation
  // that this find takes the place of (a launcher found after the program
  // it starts); -1 when it is a new entry.
  int replaces = -1;
};

// Names the program at path, found on a drive whose folder is driveRoot
// (without trailing "/"; "" for "/"). None when path is not an executable
// regular file (or a link to one) with one of the table's names, or is a
// browser's private copy inside a snap or Flatpak installation (only their
// launchers in /snap/bin and the export folders can be started).
std::optional<BrowserFind> identifyBrowser(const std::string& path, const std::string& driveRoot);

// What a find of the search adds to the browser list: none for a folder,
// a path that is not valid UTF-8 (the list and the saved choice hold
// text, so such a path would come back altered and could never be
// started), a path on no fixed drive of table, a program that is no
// browser (identifyBrowser), or one installation already among listed,
// unless the find is that installation's launcher and the listed entry is
// the program the launcher starts: the find then replaces it.
std::optional<BrowserFind> browserListEntry(const DriveTable& table, const std::string& directory,
                                            const std::string& name, bool isFolder,
                                            const std::vector<std::string>& listed);

// Finds with the same key are one installation: a link to a browser's
// program file, a script that execs it, and the file itself. Launchers
// that all lead to one helper (the snap launchers lead to snap) keep keys
// of their own. Absolute paths in a script are read on the drive whose
// folder is driveRoot.
std::string installationKey(const std::string& path, const std::string& driveRoot = {});

// The browser program that the file at path starts, following links and
// scripts that exec a program of the table (by an absolute path, with the
// script's simple variables, or by a bare name found beside the script or
// in the drive's bin folders), real path; none when path is no launcher.
std::optional<std::string> launchedProgram(const std::string& path, const std::string& driveRoot = {});

// The program a launcher script execs, as the script writes it once its
// NAME=value variables are put in: the program word of the first "exec"
// line whose variables are all known; none when the script execs nothing.
std::optional<std::string> scriptExecTarget(const std::string& script);

// The upstream version (no epoch, no Debian revision) of an installed
// package in the text of dpkg's status file.
std::optional<std::string> dpkgVersion(const std::string& status, const std::string& package);

// The folder of the fixed drive of table that holds path (the longest
// match), without trailing "/"; none when no fixed drive holds it.
std::optional<std::string> driveRootOf(const DriveTable& table, const std::string& path);

// Readers of the installed files, pure functions over their text.
// The untranslated Name of the [Desktop Entry] group.
std::optional<std::string> desktopEntryName(const std::string& text);
// The value of key in [group] of an INI text.
std::optional<std::string> iniValue(const std::string& text, const std::string& group, const std::string& key);
// The version of the newest release of an AppStream component (the first
// release listed, as AppStream orders them).
std::optional<std::string> appStreamVersion(const std::string& xml);
// The top-level "version:" of a snap.yaml, without quotes.
std::optional<std::string> snapVersion(const std::string& yaml);

// Tells when a search found no browser: both finders have completed and
// no find was listed.
class BrowserSearchTally {
 public:
  void begin(int finders) {
    m_running = finders;
    m_listed = 0;
  }
  void listed() { ++m_listed; }
  // A finder's search ended; true when it was the last one and nothing was
  // listed.
  bool completed() {
    if (m_running <= 0) return false;
    return --m_running == 0 && m_listed == 0;
  }

 private:
  int m_running = 0;
  int m_listed = 0;
};

// Shown when a search of the fixed drives found no browser.
extern const char kNoBrowserFound[];

}  // namespace glx
