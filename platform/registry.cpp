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

#include "platform/ascii.h"
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

std::string fold(const std::string& text) { return asciiLowered(text); }

bool sameName(const std::string& a, const std::string& b) { return fold(a) == fold(b); }

// "a\\b\\" and "\\a\\\\b" both name a\b.
std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string joinPath(const std::vector<std::string>& parts, size_t count) {
  std::string out;
  for (size_t i = 0; i < count && i < parts.size(); ++i) {
    if (i) out += '\\';
    out += parts[i];
  }
  return out;
}

std::string normalPath(const std::string& path) {
  const auto parts = splitPath(path);
  return joinPath(parts, parts.size());
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
    auto it = m_keys.find(fold(normalPath(path)));
    if (it != m_keys.end()) return &it->second;
    if (normalPath(path).empty()) return &ensure("");
    return nullptr;
  }

  bool exists(const std::string& path) const {
    const std::string normal = normalPath(path);
    return normal.empty() || m_keys.count(fold(normal)) > 0;
  }

  // Creates the key and its parents; returns it.
  RegFileKey& ensure(const std::string& path) {
    const auto parts = splitPath(path);
    RegFileKey* key = nullptr;
    for (size_t n = 0; n <= parts.size(); ++n) {
      const std::string sub = joinPath(parts, n);
      auto [it, inserted] = m_keys.try_emplace(fold(sub));
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
      if (sameName(existing, name)) {
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
      if (sameName(it->first, name)) {
        key.values.erase(it);
        m_changed = true;
        return true;
      }
    }
    return false;
  }

  std::vector<std::string> subKeys(const std::string& path) const {
    const std::string prefix = fold(normalPath(path));
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
    const std::string prefix = fold(normalPath(path));
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

int hexDigit(char c);

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
      for (size_t i = prefix; i < name.size(); ++i) hex = hex && hexDigit(name[i]) >= 0;
      if (hex) stale.push_back(folder + name);
    }
  }
  ::closedir(dir);
  for (const std::string& path : stale) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
  }
}

// Reads one root. A file that does not parse is set aside under the lock
// (when it is still the same bad file by then) and the user told.
// forWrite: a file that exists but cannot be read fails the change rather
// than being replaced by one that lacks its values.
Hive loadHive(RegRoot root, const std::string& folder, bool haveLock, bool forWrite = false) {
  const std::string file = folder + (root == RegRoot::LocalMachine ? "HKLM.reg" : "HKCU.reg");
  std::string text;
  try {
    if (!pathExists(file)) return Hive();
    text = readFileBytes(file);
  } catch (const Error& error) {
    if (forWrite) {
      throw ERegistryError("Cannot read the settings file \"" + file + "\": " + error.what());
    }
    return Hive();
  }
  try {
    return Hive(parseRegFile(root, text));
  } catch (const ERegistryError& error) {
    if (!haveLock) {
      FolderLock lock(folder);
      return loadHive(root, folder, true);
    }
    const std::string bad = freeBadName(file);
    if (::rename(file.c_str(), bad.c_str()) == 0) {
      notify("The settings file \"" + file + "\" could not be read (" + error.what() +
             ") and was moved to \"" + bad + "\". The program starts with empty settings.");
    }
    return Hive();
  }
}

std::string hexBytes(const std::string& bytes, size_t firstColumn) {
  std::string out;
  size_t column = firstColumn;
  char buffer[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
    out += buffer;
    column += 2;
    if (i + 1 < bytes.size()) {
      out += ',';
      ++column;
      if (column > 75) {
        out += "\\\r\n  ";
        column = 2;
      }
    }
  }
  return out;
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

bool plainText(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20) return false;
  }
  return true;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void parseError(size_t line, const std::string& what) {
  throw ERegistryError("line " + std::to_string(line) + ": " + what);
}

std::string trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(begin, end - begin);
}

// Reads a quoted text starting at pos (at the opening quote); pos ends past
// the closing quote.
std::string readQuoted(const std::string& line, size_t& pos, size_t lineNo) {
  std::string out;
  ++pos;
  while (pos < line.size()) {
    char c = line[pos++];
    if (c == '"') return out;
    if (c == '\\') {
      if (pos >= line.size()) break;
      c = line[pos++];
    }
    out += c;
  }
  parseError(lineNo, "unterminated text");
}

RegValue parseData(const std::string& data, size_t lineNo) {
  if (!data.empty() && data[0] == '"') {
    size_t pos = 0;
    std::string text = readQuoted(data, pos, lineNo);
    if (!trim(data.substr(pos)).empty()) parseError(lineNo, "text after a string value");
    return RegValue::string(text);
  }
  const std::string lower = fold(data);
  if (lower.rfind("dword:", 0) == 0) {
    const std::string digits = trim(data.substr(6));
    if (digits.empty() || digits.size() > 8) parseError(lineNo, "bad dword");
    uint32_t value = 0;
    for (char c : digits) {
      const int d = hexDigit(c);
      if (d < 0) parseError(lineNo, "bad dword");
      value = value * 16 + static_cast<uint32_t>(d);
    }
    return RegValue::dword(value);
  }
  uint32_t type = 0;
  size_t pos = 0;
  if (lower.rfind("hex:", 0) == 0) {
    type = kRegBinary;
    pos = 4;
  } else if (lower.rfind("hex(", 0) == 0) {
    const size_t close = lower.find("):", 4);
    if (close == std::string::npos || close == 4 || close > 12) parseError(lineNo, "bad hex type");
    for (size_t i = 4; i < close; ++i) {
      const int d = hexDigit(lower[i]);
      if (d < 0) parseError(lineNo, "bad hex type");
      type = type * 16 + static_cast<uint32_t>(d);
    }
    pos = close + 2;
  } else {
    parseError(lineNo, "unknown value data");
  }
  std::string bytes;
  const std::string list = trim(data.substr(pos));
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) ++i;
    if (i >= list.size()) break;
    const int hi = i < list.size() ? hexDigit(list[i]) : -1;
    const int lo = i + 1 < list.size() ? hexDigit(list[i + 1]) : -1;
    if (hi < 0 || lo < 0) parseError(lineNo, "bad hex byte");
    bytes += static_cast<char>(hi * 16 + lo);
    i += 2;
    while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) ++i;
    if (i < list.size()) {
      if (list[i] != ',') parseError(lineNo, "bad hex list");
      ++i;
      // A comma must be followed by a byte; the blanks before it are
      // skipped once, here.
      while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) ++i;
      if (i >= list.size()) parseError(lineNo, "bad hex list");
    }
  }
  if (type == kRegSz) {
    // Strings with control characters are written as hex(1) with their
    // terminator; anything after the first terminator is not part of them.
    if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  }
  return {type, bytes};
}

}  // namespace

RegValue RegValue::dword(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return {kRegDword, bytes};
}

uint32_t RegValue::asDword() const {
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < data.size(); ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
  }
  return value;
}

const char* rootName(RegRoot root) {
  return root == RegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

void setRegistryNotice(std::function<void(const std::string&)> notice) {
  noticeHandler() = std::move(notice);
}

std::string formatRegFile(RegRoot root, const RegFileContents& keys) {
  std::string out = "REGEDIT4\r\n";
  for (const auto& key : keys) {
    out += "\r\n[";
    out += rootName(root);
    if (!key.path.empty()) out += "\\" + key.path;
    out += "]\r\n";
    for (const auto& [name, value] : key.values) {
      std::string line = name.empty() ? std::string("@") : quoted(name);
      line += '=';
      if (value.type == kRegSz && plainText(value.data)) {
        line += quoted(value.data);
      } else if (value.type == kRegDword && value.data.size() == 4) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", value.asDword());
        line += buffer;
      } else {
        std::string bytes = value.data;
        if (value.type == kRegBinary) {
          line += "hex:";
        } else {
          char buffer[16];
          std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
          line += buffer;
          if (value.type == kRegSz) bytes += '\0';
        }
        line += hexBytes(bytes, line.size());
      }
      out += line + "\r\n";
    }
  }
  return out;
}

RegFileContents parseRegFile(RegRoot root, const std::string& text) {
  // Lines, with "\" continuations of hex lists joined. One forward pass:
  // a continued line is only appended to, never copied or scanned again, so
  // a long value costs time in proportion to its length.
  std::vector<std::pair<size_t, std::string>> lines;
  {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    size_t lineNo = 0;
    size_t pos = 0;
    std::string pending;
    size_t pendingLine = 0;
    bool continuing = false;
    // Whether the logical line may continue at all: a value line whose data
    // is a hex list, decided by its first physical line.
    bool hexValue = false;
    while (pos < text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      size_t lineEnd = end;
      if (lineEnd > pos && text[lineEnd - 1] == '\r') --lineEnd;
      if (continuing) {
        size_t first = pos;
        size_t last = lineEnd;
        while (first < last && blank(text[first])) ++first;
        while (last > first && blank(text[last - 1])) --last;
        pending.append(text, first, last - first);
      } else {
        pending.assign(text, pos, lineEnd - pos);
        pendingLine = lineNo + 1;
        size_t first = 0;
        while (first < pending.size() && blank(pending[first])) ++first;
        hexValue = first < pending.size() && pending[first] != '[' &&
                   fold(pending).find("=hex") != std::string::npos;
      }
      pos = end + 1;
      ++lineNo;
      size_t last = pending.size();
      while (last > 0 && blank(pending[last - 1])) --last;
      if (hexValue && last > 0 && pending[last - 1] == '\\') {
        pending.resize(last - 1);
        if (!continuing) {
          size_t first = 0;
          while (first < pending.size() && blank(pending[first])) ++first;
          pending.erase(0, first);
        }
        continuing = true;
        continue;
      }
      lines.emplace_back(pendingLine, std::move(pending));
      pending.clear();
      continuing = false;
    }
    if (continuing) lines.emplace_back(pendingLine, std::move(pending));
  }

  RegFileContents keys;
  bool header = false;
  const std::string rootText = fold(rootName(root));
  for (const auto& [lineNo, raw] : lines) {
    const std::string line = trim(raw);
    if (line.empty() || line[0] == ';') continue;
    if (!header) {
      if (line != "REGEDIT4") parseError(lineNo, "the file does not start with REGEDIT4");
      header = true;
      continue;
    }
    if (line[0] == '[') {
      if (line.back() != ']') parseError(lineNo, "bad key line");
      const std::string full = line.substr(1, line.size() - 2);
      const std::string folded = fold(full);
      if (folded.compare(0, rootText.size(), rootText) != 0 ||
          (folded.size() > rootText.size() && folded[rootText.size()] != '\\')) {
        parseError(lineNo, "key outside " + std::string(rootName(root)));
      }
      keys.push_back({normalPath(full.substr(rootText.size())), {}});
      continue;
    }
    if (line[0] == '"' || line[0] == '@') {
      if (keys.empty()) parseError(lineNo, "value outside a key");
      size_t pos = 0;
      std::string name;
      if (line[0] == '@') {
        pos = 1;
      } else {
        name = readQuoted(line, pos, lineNo);
      }
      while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
      if (pos >= line.size() || line[pos] != '=') parseError(lineNo, "missing \"=\"");
      keys.back().values.emplace_back(name, parseData(trim(line.substr(pos + 1)), lineNo));
      continue;
    }
    parseError(lineNo, "unexpected text");
  }
  if (!header && !trim(text).empty()) parseError(1, "the file does not start with REGEDIT4");
  return keys;
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
  Hive hive = loadHive(root, folder, true, true);
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
  return loadHive(root, registry.folder(), false);
}

void checkName(const std::string& name) {
  for (unsigned char c : name) {
    if (c < 0x20) throw ERegistryError("A registry value name cannot hold control characters");
  }
}

}  // namespace

std::optional<RegKey> Registry::openKey(RegRoot root, const std::string& path) const {
  if (!keyExists(root, path)) return std::nullopt;
  return RegKey(*this, root, normalPath(path));
}

RegKey Registry::createKey(RegRoot root, const std::string& path) const {
  if (!keyExists(root, path)) {
    for (const auto& part : splitPath(path)) checkName(part);
    modifyHive(*this, root, [&](Hive& hive) {
      hive.ensure(path);
      return true;
    });
  }
  return RegKey(*this, root, normalPath(path));
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
    if (sameName(existing, name)) return value;
  }
  return std::nullopt;
}

void Registry::setValue(RegRoot root, const std::string& path, const std::string& name,
                        const RegValue& value) const {
  checkName(name);
  for (const auto& part : splitPath(path)) checkName(part);
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
  if (normalPath(path).empty() || !keyExists(root, path)) return false;
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
