#include "platform/drives.h"

#include <fstream>
#include <sstream>

#include "platform/ascii.h"
#include "platform/registry.h"

namespace glx {

namespace {

std::string lowerText(const std::string& text) { return asciiLowered(text); }

std::string withoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

// The mount table escapes blanks, tabs, newlines and backslashes as octal.
std::string unescapeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

const std::unordered_set<std::string>& fencedFileSystems() {
  static const std::unordered_set<std::string> kTypes = {
      "proc",      "sysfs",  "devtmpfs", "devpts",  "cgroup",  "cgroup2",    "securityfs",
      "debugfs",   "tracefs", "pstore",  "bpf",     "mqueue",  "hugetlbfs",  "configfs",
      "fusectl",   "autofs", "binfmt_misc", "nfs",  "nfs4",    "cifs",       "smb3",
      "fuse.sshfs"};
  return kTypes;
}

}  // namespace

DriveType parseDriveType(const std::string& name) {
  const std::string n = lowerText(name);
  if (n == "fixed") return DriveType::Fixed;
  if (n == "removable") return DriveType::Removable;
  if (n == "cdrom") return DriveType::CdRom;
  if (n == "remote") return DriveType::Remote;
  if (n == "ramdisk") return DriveType::RamDisk;
  return DriveType::Unknown;
}

DriveTable::DriveTable() { set('C', DriveType::Fixed, "/"); }

DriveTable DriveTable::fromValues(const std::map<std::string, std::string>& values) {
  DriveTable table;
  bool any = false;
  for (const auto& [name, data] : values) {
    if (name.size() != 1 || index(name[0]) < 0) continue;
    const auto colon = data.find(':');
    if (colon == std::string::npos) continue;
    const DriveType type = parseDriveType(data.substr(0, colon));
    const std::string folder = data.substr(colon + 1);
    if (type == DriveType::Unknown || folder.empty() || folder.front() != '/') continue;
    if (!any) table.clear();
    any = true;
    table.set(name[0], type, folder);
  }
  return table;
}

void DriveTable::clear() { m_drives = {}; }

int DriveTable::index(char letter) {
  const unsigned char c = asciiLower(static_cast<unsigned char>(letter));
  return (c >= 'a' && c <= 'z') ? c - 'a' : -1;
}

void DriveTable::set(char letter, DriveType type, const std::string& folder) {
  const int i = index(letter);
  if (i < 0) return;
  m_drives[i] = Drive{type, withoutTrailingSlashes(folder), true};
}

DriveType DriveTable::type(char letter) const {
  const int i = index(letter);
  return (i >= 0 && m_drives[i].present) ? m_drives[i].type : DriveType::NoRootDir;
}

std::string DriveTable::folder(char letter) const {
  const int i = index(letter);
  return (i >= 0 && m_drives[i].present) ? m_drives[i].folder : std::string();
}

bool DriveTable::has(char letter) const {
  const int i = index(letter);
  return i >= 0 && m_drives[i].present;
}

WalkFence WalkFence::current() {
  std::ifstream in("/proc/self/mounts", std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  return fromMountTable(text.str());
}

WalkFence WalkFence::fromMountTable(const std::string& mounts) {
  WalkFence fence;
  for (const char* always : {"/proc", "/sys", "/dev", "/run"}) fence.m_excluded.insert(always);
  std::istringstream lines(mounts);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint, type;
    if (!(fields >> device >> mountPoint >> type)) continue;
    if (!fencedFileSystems().count(type)) continue;
    std::string path = withoutTrailingSlashes(unescapeMountField(mountPoint));
    // A fenced file system mounted on "/" would fence everything; the root
    // itself always stays walkable.
    if (!path.empty()) fence.m_excluded.insert(path);
  }
  return fence;
}

bool WalkFence::excluded(const std::string& path) const { return m_excluded.count(path) != 0; }

DriveTable DriveTable::fromRegistry(const Registry& registry) {
  std::map<std::string, std::string> values;
  try {
    const auto key = registry.openKey(RegRoot::LocalMachine, "System\\Drives");
    if (!key) return DriveTable();
    for (const std::string& name : key->valueNames()) {
      const auto value = key->query(name);
      if (value && value->type == kRegSz) values[name] = value->data;
    }
  } catch (const Error&) {
    return DriveTable();  // an unreadable registry leaves the default table
  }
  return fromValues(values);
}

DriveTable DriveTable::system() { return fromRegistry(Registry()); }

}  // namespace glx
