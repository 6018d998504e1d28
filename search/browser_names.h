// Which web browsers the browser selection window looks for, and how a
// found program is named in its list: the product's display name and its
// version, read from the files installed with it (desktop entries,
// AppStream metadata, Firefox's application.ini, a snap's snap.yaml). A
// browser is never started to learn its version.
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
// browser (identifyBrowser), or one installation already among listed.
std::optional<BrowserFind> browserListEntry(const DriveTable& table, const std::string& directory,
                                            const std::string& name, bool isFolder,
                                            const std::vector<std::string>& listed);

// Finds with the same key are one installation: a link to a browser's
// program file and the file itself. Launchers that all lead to one helper
// (the snap launchers lead to snap) keep keys of their own.
std::string installationKey(const std::string& path);

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
