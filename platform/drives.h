// The drive table: which folder a drive letter stands for and what kind of
// drive it is. By default C is the root folder as a fixed drive; string
// values "TYPE:FOLDER" named by their letter (TYPE one of fixed, removable,
// cdrom, remote, ramdisk) replace the default table. Also the rules that
// keep a walk of a drive on local disk file systems.
#pragma once

#include <array>
#include <map>
#include <string>
#include <unordered_set>

namespace glx {

class Registry;

// The platform's drive type numbers.
enum class DriveType {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

class DriveTable {
 public:
  // The default table: C is "/" as a fixed drive.
  DriveTable();

  // A table made of values named by letter with data "TYPE:FOLDER"; values
  // that are not a single letter or whose data does not parse are ignored.
  // An empty map (or one with no usable value) keeps the default table.
  static DriveTable fromValues(const std::map<std::string, std::string>& values);

  // The string values under HKEY_LOCAL_MACHINE\System\Drives of the given
  // registry, or the default table when there are none.
  static DriveTable fromRegistry(const Registry& registry);
  // The table the program uses: fromRegistry of the program's registry.
  static DriveTable system();

  // Removes every drive.
  void clear();
  // letter is A to Z (either case); folder a native path.
  void set(char letter, DriveType type, const std::string& folder);

  // NoRootDir for a letter that is not in the table.
  DriveType type(char letter) const;
  // The drive's folder without a trailing "/" (so "/" reads as ""); empty
  // for a letter that is not in the table (check has()).
  std::string folder(char letter) const;
  bool has(char letter) const;

 private:
  struct Drive {
    DriveType type = DriveType::NoRootDir;
    std::string folder;
    bool present = false;
  };
  static int index(char letter);
  std::array<Drive, 26> m_drives;
};

// Parses "fixed", "removable", "cdrom", "remote" or "ramdisk" (any case);
// Unknown otherwise.
DriveType parseDriveType(const std::string& name);

// Folders a walk of a drive never enters: /proc, /sys, /dev and /run, and
// the mount points of pseudo and network file systems.
class WalkFence {
 public:
  // Reads the mount table of this process (/proc/self/mounts).
  static WalkFence current();
  // From the text of a mount table, for tests.
  static WalkFence fromMountTable(const std::string& mounts);

  // path: a native folder path without a trailing "/".
  bool excluded(const std::string& path) const;

 private:
  std::unordered_set<std::string> m_excluded;
};

}  // namespace glx
