#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

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
  explicit Hive(RegFileContents contents) {
    for (auto& key : contents) {
      RegFileKey& entry = ensure(key.path);
      for (auto& [name, value] : key.values) setValue(entry, name, std::move(value));
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

  // The key, or none; the root always exists.
  const RegFileKey* lookup(const std::string& path) const {
    static const RegFileKey kEmptyRoot;
    const std::string folded = foldRegName(normalRegPath(path));
    auto it = m_keys.find(folded);
    if (it != m_keys.end()) return &it->second;
    return folded.empty() ? &kEmptyRoot : nullptr;
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

  void setValue(RegFileKey& key, const std::string& name, RegValue value) {
    for (auto& [existing, data] : key.values) {
      if (sameRegName(existing, name)) {
        if (!(data == value)) m_changed = true;
        data = std::move(value);
        return;
      }
    }
    key.values.emplace_back(name, std::move(value));
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

// What tells one state of a settings file from another without reading it:
// which file on which device, its size, and its modification and
// status-change times to the nanosecond. Every write replaces the file by
// a rename, so each write also brings a new inode.
struct FileStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modifiedSeconds = 0, modifiedNanoseconds = 0;
  int64_t changedSeconds = 0, changedNanoseconds = 0;
  bool operator==(const FileStamp&) const = default;

  std::chrono::system_clock::time_point lastChange() const {
    using namespace std::chrono;
    const auto at = [](int64_t s, int64_t ns) {
      return system_clock::time_point(duration_cast<system_clock::duration>(seconds(s) + nanoseconds(ns)));
    };
    return std::max(at(modifiedSeconds, modifiedNanoseconds), at(changedSeconds, changedNanoseconds));
  }
};

std::optional<FileStamp> stampOf(const std::string& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  FileStamp stamp;
  stamp.device = static_cast<uint64_t>(st.st_dev);
  stamp.inode = static_cast<uint64_t>(st.st_ino);
  stamp.size = static_cast<int64_t>(st.st_size);
  stamp.modifiedSeconds = st.st_mtim.tv_sec;
  stamp.modifiedNanoseconds = st.st_mtim.tv_nsec;
  stamp.changedSeconds = st.st_ctim.tv_sec;
  stamp.changedNanoseconds = st.st_ctim.tv_nsec;
  return stamp;
}

// The parsed roots, process-wide, by file name: a start asks the registry
// a few dozen questions, and a root holding a large value takes a tenth of
// a second to parse, so each file is parsed once per change. A root is
// reused while its file's stamp is what it was. File times tick coarsely
// (milliseconds here, two seconds on FAT), so two rewrites within one tick
// could leave the same stamp: a file changed less than kSettleTime ago is
// read again and its bytes compared with those parsed (cheap), and only a
// file that has settled is trusted by its stamp alone.
constexpr std::chrono::seconds kSettleTime{2};

struct CachedRoot {
  FileStamp stamp;
  bool settled = false;
  std::string text;
  std::shared_ptr<const Hive> hive;
};

struct RootCache {
  std::mutex mutex;
  std::map<std::string, CachedRoot> roots;
  RegistryFileReads counts;
  std::function<std::chrono::system_clock::time_point()> clock;
};

RootCache& rootCache() {
  static RootCache cache;
  return cache;
}

std::chrono::system_clock::time_point cacheNow(RootCache& cache) {
  return cache.clock ? cache.clock() : std::chrono::system_clock::now();
}

const std::shared_ptr<const Hive>& emptyHive() {
  static const std::shared_ptr<const Hive> empty = std::make_shared<const Hive>();
  return empty;
}

// The cached root of file when its stamp still holds, else none.
std::shared_ptr<const Hive> cachedHive(const std::string& file, const std::optional<FileStamp>& stamp,
                                       const std::string* text) {
  RootCache& cache = rootCache();
  const std::lock_guard guard(cache.mutex);
  auto it = cache.roots.find(file);
  if (it == cache.roots.end() || !stamp || !(it->second.stamp == *stamp)) return nullptr;
  if (!it->second.settled && (!text || *text != it->second.text)) return nullptr;
  return it->second.hive;
}

// Remembers the root parsed from text, read while the file had stamp.
// The clock is read before the stamp was taken, so a change made after it
// is always later than the time compared against.
void rememberHive(const std::string& file, const FileStamp& stamp, std::chrono::system_clock::time_point now,
                  std::string text, std::shared_ptr<const Hive> hive) {
  RootCache& cache = rootCache();
  const std::lock_guard guard(cache.mutex);
  CachedRoot& root = cache.roots[file];
  root.stamp = stamp;
  root.settled = stamp.lastChange() + kSettleTime <= now;
  root.text = root.settled ? std::string() : std::move(text);
  root.hive = std::move(hive);
}

void forgetHive(const std::string& file) {
  RootCache& cache = rootCache();
  const std::lock_guard guard(cache.mutex);
  cache.roots.erase(file);
}

void countRead(bool parsed) {
  RootCache& cache = rootCache();
  const std::lock_guard guard(cache.mutex);
  ++cache.counts.reads;
  if (parsed) ++cache.counts.parses;
}

std::string rootFile(const std::string& folder, RegRoot root) {
  return folder + (root == RegRoot::LocalMachine ? "HKLM.reg" : "HKCU.reg");
}

// Reads one root, from the cache while its file is unchanged. A file that
// does not parse is set aside under the lock (when it is still the same bad
// file by then) and the user told.
std::shared_ptr<const Hive> loadHive(RegRoot root, const std::string& folder, FolderLocking locking,
                                     ReadFor purpose = ReadFor::Lookup) {
  const std::string file = rootFile(folder, root);
  std::chrono::system_clock::time_point now;
  {
    RootCache& cache = rootCache();
    const std::lock_guard guard(cache.mutex);
    now = cacheNow(cache);
  }
  const std::optional<FileStamp> before = stampOf(file);
  if (std::shared_ptr<const Hive> hive = cachedHive(file, before, nullptr)) return hive;
  std::string text;
  try {
    if (!pathExists(file)) {
      forgetHive(file);
      return emptyHive();
    }
    text = readFileBytes(file);
  } catch (const Error& error) {
    if (purpose == ReadFor::Change) {
      throw ERegistryError("Cannot read the settings file \"" + file + "\": " + error.what());
    }
    return emptyHive();
  }
  const std::optional<FileStamp> after = stampOf(file);
  const bool steady = before && after && *before == *after;
  if (steady) {
    if (std::shared_ptr<const Hive> hive = cachedHive(file, before, &text)) {
      countRead(false);
      rememberHive(file, *before, now, std::move(text), hive);
      return hive;
    }
  }
  countRead(true);
  try {
    auto hive = std::make_shared<const Hive>(parseRegFile(root, text));
    // A file replaced while it was read is parsed again next time.
    if (steady) {
      rememberHive(file, *before, now, std::move(text), hive);
    } else {
      forgetHive(file);
    }
    return hive;
  } catch (const ERegistryError& error) {
    forgetHive(file);
    if (locking == FolderLocking::NotHeld) {
      FolderLock lock(folder);
      return loadHive(root, folder, FolderLocking::Held);
    }
    const std::string bad = freeBadName(file);
    if (::rename(file.c_str(), bad.c_str()) == 0) {
      notify("The settings file \"" + file + "\" could not be read (" + error.what() +
             ") and was moved to \"" + bad + "\". The program starts with empty settings.");
    }
    return emptyHive();
  }
}

}  // namespace

void setRegistryNotice(std::function<void(const std::string&)> notice) {
  noticeHandler() = std::move(notice);
}

RegistryFileReads registryFileReads() {
  RootCache& cache = rootCache();
  const std::lock_guard guard(cache.mutex);
  return cache.counts;
}

void setRegistryClock(std::function<std::chrono::system_clock::time_point()> now) {
  RootCache& cache = rootCache();
  const std::lock_guard guard(cache.mutex);
  cache.clock = std::move(now);
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
  auto hive = std::make_shared<Hive>(*loadHive(root, folder, FolderLocking::Held, ReadFor::Change));
  hive->clearChanged();
  auto result = change(*hive);
  if (hive->changed()) {
    const auto now = [] {
      RootCache& cache = rootCache();
      const std::lock_guard guard(cache.mutex);
      return cacheNow(cache);
    }();
    std::string text = formatRegFile(root, hive->contents());
    try {
      writeFileAtomic(file, text);
    } catch (const Error& error) {
      forgetHive(file);
      throw ERegistryError("Cannot write the settings file \"" + file + "\": " + error.what());
    }
    // What was written is known: the next read takes it from here. The
    // lock is still held, so the file is the one just written.
    if (const std::optional<FileStamp> stamp = stampOf(file)) {
      hive->clearChanged();
      rememberHive(file, *stamp, now, std::move(text), std::move(hive));
    } else {
      forgetHive(file);
    }
  }
  return result;
}

std::shared_ptr<const Hive> readHive(const Registry& registry, RegRoot root) {
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
  return readHive(*this, root)->exists(path);
}

std::optional<RegValue> Registry::queryValue(RegRoot root, const std::string& path,
                                             const std::string& name) const {
  const auto hive = readHive(*this, root);
  const RegFileKey* key = hive->lookup(path);
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
  return readHive(*this, root)->subKeys(path);
}

std::vector<std::string> Registry::valueNames(RegRoot root, const std::string& path) const {
  const auto hive = readHive(*this, root);
  std::vector<std::string> names;
  if (const RegFileKey* key = hive->lookup(path)) {
    for (const auto& [name, value] : key->values) names.push_back(name);
  }
  return names;
}

std::optional<Registry::KeyInfo> Registry::queryInfo(RegRoot root, const std::string& path) const {
  const auto hive = readHive(*this, root);
  const RegFileKey* key = hive->lookup(path);
  if (!key) return std::nullopt;
  KeyInfo info;
  for (const auto& name : hive->subKeys(path)) {
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
