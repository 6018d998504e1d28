// The registry the program keeps its settings in: two roots, each one
// REGEDIT4 text file ("HKLM.reg", "HKCU.reg"; the format is in reg_file.h)
// in a settings folder, by default $XDG_CONFIG_HOME/glimmerax/
// (~/.config/glimmerax/).
//
// Key and value names are compared without regard to ASCII letter case and
// keep the case they were created with. A root's file is parsed once per
// change: the parsed root is kept, process-wide, with the file's stamp
// (device, inode, size, times), and the file is read again only when its
// stamp changed, so a second running copy's changes are still seen. Every
// change re-reads its file under
// an exclusive advisory lock on the folder and writes it back at once through
// a temporary file and a rename, so two running copies of the program never
// lose each other's values and a crash never leaves half a file; the
// temporary file of a write that was killed is removed by the next write,
// under the lock. Reads need no lock: a file is only ever replaced whole.
//
// A file that does not parse is moved aside (to "HKLM.reg.bad", or a free
// name after it), the user is told once through the registry notice, and the
// root reads as empty. Failures to write raise ERegistryError.
//
// The kept roots are shared under a lock; otherwise not thread-safe: the
// program uses it from the GUI thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/reg_file.h"

namespace glx {

// Where the user is told about a registry file that was set aside. The
// default shows the text through the error sink; the program points it at
// its plain message box. nullptr restores the default.
void setRegistryNotice(std::function<void(const std::string&)> notice);

// How often, in this process, a root's file was read whole, and how often
// such a text was parsed (a read of a file that turns out unchanged is not
// parsed again). For tests and benchmarks.
struct RegistryFileReads {
  uint64_t reads = 0;
  uint64_t parses = 0;
};
RegistryFileReads registryFileReads();

// The clock by which the kept roots judge whether a file has been left
// alone long enough to be trusted by its stamp (tests set one far ahead).
// nullptr restores the system clock.
void setRegistryClock(std::function<std::chrono::system_clock::time_point()> now);

// deleteKey's withSubKeys, by name at the call site.
constexpr bool kWithSubKeys = true;
constexpr bool kWithoutSubKeys = false;

class RegKey;

class Registry {
 public:
  // folder: the settings folder; empty means defaultFolder() at each use.
  explicit Registry(std::string folder = {});

  // $XDG_CONFIG_HOME/glimmerax/ (or ~/.config/glimmerax/), with a trailing "/".
  static std::string defaultFolder();
  std::string folder() const;
  std::string fileOf(RegRoot root) const;

  // Opens an existing key; none when it is missing. Paths are relative to
  // the root, parts separated by "\"; empty means the root itself.
  std::optional<RegKey> openKey(RegRoot root, const std::string& path) const;
  // Opens a key, creating it and its missing parents. Throws ERegistryError.
  RegKey createKey(RegRoot root, const std::string& path) const;

  bool keyExists(RegRoot root, const std::string& path) const;
  std::optional<RegValue> queryValue(RegRoot root, const std::string& path,
                                     const std::string& name) const;
  // Creates the key when missing. Throws ERegistryError.
  void setValue(RegRoot root, const std::string& path, const std::string& name,
                const RegValue& value) const;
  // Whether the value existed. Throws ERegistryError when it cannot write.
  bool deleteValue(RegRoot root, const std::string& path, const std::string& name) const;
  // Deletes a key; with withSubKeys (kWithSubKeys) its sub-keys go too,
  // otherwise a key that has sub-keys is left alone and false returned.
  // Whether it was deleted.
  bool deleteKey(RegRoot root, const std::string& path, bool withSubKeys) const;
  // Names as stored, in file order (sorted without regard to case for keys).
  std::vector<std::string> subKeyNames(RegRoot root, const std::string& path) const;
  std::vector<std::string> valueNames(RegRoot root, const std::string& path) const;

  struct KeyInfo {
    size_t subKeys = 0;
    size_t values = 0;
    size_t maxSubKeyLength = 0;
    size_t maxValueNameLength = 0;
    size_t maxValueLength = 0;
  };
  std::optional<KeyInfo> queryInfo(RegRoot root, const std::string& path) const;

 private:
  std::string m_folder;
};

// An open key: a root and a path. Closing it only forgets it; each
// operation goes to the file.
class RegKey {
 public:
  RegKey(Registry registry, RegRoot root, std::string path)
      : m_registry(std::move(registry)), m_root(root), m_path(std::move(path)) {}
  const std::string& path() const { return m_path; }
  RegRoot root() const { return m_root; }

  std::optional<RegValue> query(const std::string& name) const {
    return m_registry.queryValue(m_root, m_path, name);
  }
  void set(const std::string& name, const RegValue& value) const {
    m_registry.setValue(m_root, m_path, name, value);
  }
  bool deleteValue(const std::string& name) const {
    return m_registry.deleteValue(m_root, m_path, name);
  }
  std::vector<std::string> subKeyNames() const { return m_registry.subKeyNames(m_root, m_path); }
  std::vector<std::string> valueNames() const { return m_registry.valueNames(m_root, m_path); }
  std::optional<Registry::KeyInfo> info() const { return m_registry.queryInfo(m_root, m_path); }
  void close() {}

 private:
  Registry m_registry;
  RegRoot m_root;
  std::string m_path;
};

// One call for a string value: the REG_SZ text, or none when the key, the
// value or a string of that name is missing.
std::optional<std::string> readRegistryString(RegRoot root, const std::string& keyPath,
                                              const std::string& valueName,
                                              const std::string& folder = {});

}  // namespace glx
