#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/error_sink.h"
#include "platform/file_ops.h"
#include "platform/xdg_folders.h"

namespace glx {

namespace {

std::function<void(const std::string&)>& noticeHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}

void notify(const std::string& text) {
  if (noticeHandler()) {
    noticeHandler()(text);
  } else {
    errorSink().showError(text);
  }
}

// One root's keys, by case-folded path. The root itself is the empty path
// and always exists.
class Hive {
 public:
  Hive() = default;
  explicit Hive(const RegFileContents& contents) {
    for (const auto& key : contents) {
      RegFileKey& entry = ensure(key.path);
      for (const auto& [name, value] : key.values) setValue(entry, name, value);
    }
  }

  RegFileContents contents() const {
    RegFileContents out;
    for (const auto& [folded, key] : m_keys) {
      if (!folded.empty()) out.push_back(key);
    }
    // The root's own values, if any, lead the file.
    auto root = m_keys.find("");
    if (root != m_keys.end() && !root->second.values.empty()) {
      out.insert(out.begin(), root->second);
    }
    return out;
  }

  RegFileKey* find(const std::string& path) {
    auto it = m_keys.find(foldRegName(normalRegPath(path)));
    if (it != m_keys.end()) return &it->second;
    if (normalRegPath(path).empty()) return &ensure("");
    return nullptr;
  }

  bool exists(const std::string& path) const {
    const std::string normal = normalRegPath(path);
    return normal.empty() || m_keys.count(foldRegName(normal)) > 0;
  }

  // Creates the key and its parents; returns it.
  RegFileKey& ensure(const std::string& path) {
    const auto parts = splitRegPath(path);
    RegFileKey* key = nullptr;
    for (size_t n = 0; n <= parts.size(); ++n) {
      const std::string sub = joinRegPath(parts, n);
      auto [it, inserted] = m_keys.try_emplace(foldRegName(sub));
      if (inserted) {
        it->second.path = sub;
        m_changed = true;
      }
      key = &it->second;
    }
    return *key;
  }

  void setValue(RegFileKey& key, const std::string& name, const RegValue& value) {
    for (auto& [existing, data] : key.values) {
      if (sameRegName(existing, name)) {
        if (!(data == value)) m_changed = true;
        data = value;
        return;
      }
    }
    key.values.emplace_back(name, value);
    m_changed = true;
  }

  bool deleteValue(RegFileKey& key, const std::string& name) {
    for (auto it = key.values.begin(); it != key.values.end(); ++it) {
      if (sameRegName(it->first, name)) {
        key.values.erase(it);
        m_changed = true;
        return true;
      }
    }
    return false;
  }

  std::vector<std::string> subKeys(const std::string& path) const {
    const std::string prefix = foldRegName(normalRegPath(path));
    std::vector<std::string> names;
    for (const auto& [folded, key] : m_keys) {
      if (folded.empty() || folded == prefix) continue;
      std::string rest;
      if (prefix.empty()) {
        rest = folded;
      } else if (folded.size() > prefix.size() && folded.compare(0, prefix.size(), prefix) == 0 &&
                 folded[prefix.size()] == '\\') {
        rest = folded.substr(prefix.size() + 1);
      } else {
        continue;
      }
      if (rest.find('\\') != std::string::npos) continue;
      names.push_back(key.path.substr(key.path.size() - rest.size()));
    }
    return names;
  }

  bool deleteKey(const std::string& path, bool withSubKeys) {
    const std::string prefix = foldRegName(normalRegPath(path));
    if (prefix.empty() || !m_keys.count(prefix)) return false;
    if (!withSubKeys && !subKeys(path).empty()) return false;
    for (auto it = m_keys.begin(); it != m_keys.end();) {
      const std::string& folded = it->first;
      const bool under = folded == prefix || (folded.size() > prefix.size() &&
                                              folded.compare(0, prefix.size(), prefix) == 0 &&
                                              folded[prefix.size()] == '\\');
      it = under ? m_keys.erase(it) : std::next(it);
    }
    m_changed = true;
    return true;
  }

  bool changed() const { return m_changed; }
  void clearChanged() { m_changed = false; }

 private:
  std::map<std::string, RegFileKey> m_keys;
  bool m_changed = false;
};

// Why a file operation failed, for a message that names the file too.
std::string causeText(int err) {
  if (err == ENOTDIR) return "a file stands where a folder should be";
  return inOutError(err).what();
}

// An exclusive advisory lock on the settings folder, held while a root is
// re-read and written back. The folder is never replaced, so its lock
// outlives every rename of the files inside it.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) {
    m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
      m_error = errno;
      return;
    }
    while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~FolderLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
  }
  bool locked() const { return m_fd >= 0; }
  int error() const { return m_error; }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int m_fd = -1;
  int m_error = 0;
};

// Creates the folder and its parents ("mkdir -p"); 0, or the errno of the
// level that could not be made (ENOTDIR when a file stands in its place).
int makeFolders(const std::string& folder) {
  std::string built;
  size_t pos = 0;
  while (pos <= folder.size()) {
    size_t next = folder.find('/', pos);
    if (next == std::string::npos) next = folder.size();
    built = folder.substr(0, next);
    if (!built.empty() && ::mkdir(built.c_str(), 0755) != 0) {
      const int err = errno;
      if (err != EEXIST) return err;
      if (!folderExists(built)) return ENOTDIR;
    }
    pos = next + 1;
  }
  return folderExists(folder) ? 0 : ENOTDIR;
}

// A write killed between creating its temporary file and the rename leaves
// "HKLM.reg.tmp" and eight hexadecimal digits behind. Every write holds the
// folder lock, so while it is held no such file is in use.
void removeStaleTemporaryFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    for (const char* base : {"HKLM.reg.tmp", "HKCU.reg.tmp"}) {
      const size_t prefix = std::strlen(base);
      if (name.size() != prefix + 8 || name.compare(0, prefix, base) != 0) continue;
      bool hex = true;
      for (size_t i = prefix; i < name.size(); ++i) hex = hex && hexDigitValue(name[i]) >= 0;
      if (hex) stale.push_back(folder + name);
    }
  }
  ::closedir(dir);
  for (const std::string& path : stale) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
  }
}

// Whether the caller already holds the folder lock.
enum class FolderLocking { NotHeld, Held };
// Why the root is read. For a change, a file that exists but cannot be read
// fails the change rather than being replaced by one that lacks its values.
enum class ReadFor { Lookup, Change };

// Reads one root. A file that does not parse is set aside under the lock
// (when it is still the same bad file by then) and the user told.
Hive loadHive(RegRoot root, const std::string& folder, FolderLocking locking,
              ReadFor purpose = ReadFor::Lookup) {
  const std::string file = folder + (root == RegRoot::LocalMachine ? "HKLM.reg" : "HKCU.reg");
  std::string text;
  try {
    if (!pathExists(file)) return Hive();
    text = readFileBytes(file);
  } catch (const Error& error) {
    if (purpose == ReadFor::Change) {
      throw ERegistryError("Cannot read the settings file \"" + file + "\": " + error.what());
    }
    return Hive();
  }
  try {
    return Hive(parseRegFile(root, text));
  } catch (const ERegistryError& error) {
    if (locking == FolderLocking::NotHeld) {
      FolderLock lock(folder);
      return loadHive(root, folder, FolderLocking::Held);
    }
    const std::string bad = freeBadName(file);
    if (::rename(file.c_str(), bad.c_str()) == 0) {
      notify("The settings file \"" + file + "\" could not be read (" + error.what() +
             ") and was moved to \"" + bad + "\". The program starts with empty settings.");
    }
    return Hive();
  }
}

}  // namespace

void setRegistryNotice(std::function<void(const std::string&)> notice) {
  noticeHandler() = std::move(notice);
}

Registry::Registry(std::string folder) : m_folder(std::move(folder)) {
  if (!m_folder.empty() && m_folder.back() != '/') m_folder += '/';
}

std::string Registry::defaultFolder() {
  return xdgConfigHome() + "glimmerax/";
}

std::string Registry::folder() const { return m_folder.empty() ? defaultFolder() : m_folder; }

std::string Registry::fileOf(RegRoot root) const {
  return folder() + (root == RegRoot::LocalMachine ? "HKLM.reg" : "HKCU.reg");
}

namespace {

// Re-reads the root under the folder lock, applies the change, and writes
// the file back when something changed.
template <typename Change>
auto modifyHive(const Registry& registry, RegRoot root, Change change) {
  const std::string folder = registry.folder();
  const std::string file = registry.fileOf(root);
  if (const int err = makeFolders(folder.substr(0, folder.size() - 1))) {
    throw ERegistryError("Cannot create the settings folder \"" + folder + "\": " + causeText(err));
  }
  FolderLock lock(folder);
  if (!lock.locked()) {
    throw ERegistryError("Cannot lock the settings folder \"" + folder + "\": " + causeText(lock.error()));
  }
  removeStaleTemporaryFiles(folder);
  Hive hive = loadHive(root, folder, FolderLocking::Held, ReadFor::Change);
  hive.clearChanged();
  auto result = change(hive);
  if (hive.changed()) {
    try {
      writeFileAtomic(file, formatRegFile(root, hive.contents()));
    } catch (const Error& error) {
      throw ERegistryError("Cannot write the settings file \"" + file + "\": " + error.what());
    }
  }
  return result;
}

Hive readHive(const Registry& registry, RegRoot root) {
  return loadHive(root, registry.folder(), FolderLocking::NotHeld);
}

void checkName(const std::string& name) {
  for (unsigned char c : name) {
    if (c < 0x20) throw ERegistryError("A registry value name cannot hold control characters");
  }
}

}  // namespace

std::optional<RegKey> Registry::openKey(RegRoot root, const std::string& path) const {
  if (!keyExists(root, path)) return std::nullopt;
  return RegKey(*this, root, normalRegPath(path));
}

RegKey Registry::createKey(RegRoot root, const std::string& path) const {
  if (!keyExists(root, path)) {
    for (const auto& part : splitRegPath(path)) checkName(part);
    modifyHive(*this, root, [&](Hive& hive) {
      hive.ensure(path);
      return true;
    });
  }
  return RegKey(*this, root, normalRegPath(path));
}

bool Registry::keyExists(RegRoot root, const std::string& path) const {
  return readHive(*this, root).exists(path);
}

std::optional<RegValue> Registry::queryValue(RegRoot root, const std::string& path,
                                             const std::string& name) const {
  Hive hive = readHive(*this, root);
  RegFileKey* key = hive.find(path);
  if (!key) return std::nullopt;
  for (const auto& [existing, value] : key->values) {
    if (sameRegName(existing, name)) return value;
  }
  return std::nullopt;
}

void Registry::setValue(RegRoot root, const std::string& path, const std::string& name,
                        const RegValue& value) const {
  checkName(name);
  for (const auto& part : splitRegPath(path)) checkName(part);
  modifyHive(*this, root, [&](Hive& hive) {
    hive.setValue(hive.ensure(path), name, value);
    return true;
  });
}

bool Registry::deleteValue(RegRoot root, const std::string& path, const std::string& name) const {
  if (!queryValue(root, path, name)) return false;
  return modifyHive(*this, root, [&](Hive& hive) {
    RegFileKey* key = hive.find(path);
    return key && hive.deleteValue(*key, name);
  });
}

bool Registry::deleteKey(RegRoot root, const std::string& path, bool withSubKeys) const {
  if (normalRegPath(path).empty() || !keyExists(root, path)) return false;
  return modifyHive(*this, root, [&](Hive& hive) { return hive.deleteKey(path, withSubKeys); });
}

std::vector<std::string> Registry::subKeyNames(RegRoot root, const std::string& path) const {
  return readHive(*this, root).subKeys(path);
}

std::vector<std::string> Registry::valueNames(RegRoot root, const std::string& path) const {
  Hive hive = readHive(*this, root);
  std::vector<std::string> names;
  if (RegFileKey* key = hive.find(path)) {
    for (const auto& [name, value] : key->values) names.push_back(name);
  }
  return names;
}

std::optional<Registry::KeyInfo> Registry::queryInfo(RegRoot root, const std::string& path) const {
  Hive hive = readHive(*this, root);
  RegFileKey* key = hive.find(path);
  if (!key) return std::nullopt;
  KeyInfo info;
  for (const auto& name : hive.subKeys(path)) {
    ++info.subKeys;
    info.maxSubKeyLength = std::max(info.maxSubKeyLength, name.size());
  }
  for (const auto& [name, value] : key->values) {
    ++info.values;
    info.maxValueNameLength = std::max(info.maxValueNameLength, name.size());
    info.maxValueLength = std::max(info.maxValueLength, value.data.size());
  }
  return info;
}

std::optional<std::string> readRegistryString(RegRoot root, const std::string& keyPath,
                                              const std::string& valueName,
                                              const std::string& folder) {
  auto value = Registry(folder).queryValue(root, keyPath, valueName);
  if (!value || value->type != kRegSz) return std::nullopt;
  return value->data;
}

}  // namespace glx
