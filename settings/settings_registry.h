// The registry accessor a settings component creates for each save or
// restore: one root, one open key at a time, and the failure text the
// settings report when a value cannot be written.
#pragma once

#include <optional>
#include <string>

#include "platform/errors.h"
#include "platform/registry.h"

namespace glx {

// "Failed to set data for '%s'"
class ERegistryException : public Error {
 public:
  using Error::Error;
};

// "Failed to set data for 'name'" followed by what went wrong, naming the
// file: "...: Cannot write the settings file "/x/HKLM.reg": Disk full".
std::string failedToSetData(const std::string& name, const std::string& cause);

// OpenKey's canCreate, by name at the call site.
constexpr bool kCreateKey = true;
constexpr bool kExistingKey = false;

class TSettingsRegistry {
 public:
  explicit TSettingsRegistry(RegRoot root, Registry registry = Registry())
      : m_registry(std::move(registry)), m_root(root) {}

  RegRoot RootKey() const { return m_root; }
  Registry& registry() { return m_registry; }

  // Opens a key relative to the root, creating it when canCreate
  // (kCreateKey); false when that fails (a later write then fails with the
  // value's name).
  bool OpenKey(const std::string& path, bool canCreate);
  void CloseKey() { m_current.reset(); }
  bool isOpen() const { return m_current.has_value(); }
  const std::string& CurrentPath() const;

  bool ValueExists(const std::string& name) const;
  std::optional<RegValue> ReadValue(const std::string& name) const;
  void WriteString(const std::string& name, const std::string& text);
  void WriteInteger(const std::string& name, int32_t value);
  void WriteBinaryData(const std::string& name, const std::string& bytes);
  bool DeleteValue(const std::string& name);
  bool HasValues() const;
  bool HasSubKeys() const;
  // Deletes a key relative to the root, with its sub-keys.
  bool DeleteKey(const std::string& path);

 private:
  void write(const std::string& name, const RegValue& value);

  Registry m_registry;
  RegRoot m_root;
  std::optional<std::string> m_current;
  std::string m_openFailure;  // why the last OpenKey failed
};

}  // namespace glx
