#include "settings/settings_registry.h"

namespace glx {

std::string failedToSetData(const std::string& name, const std::string& cause) {
  return "Failed to set data for '" + name + "': " + cause;
}

bool TSettingsRegistry::OpenKey(const std::string& path, bool canCreate) {
  m_current.reset();
  m_openFailure.clear();
  try {
    if (canCreate) {
      m_current = m_registry.createKey(m_root, path).path();
    } else if (auto key = m_registry.openKey(m_root, path)) {
      m_current = key->path();
    }
  } catch (const Error& error) {
    // Reported by the write that follows, with the value's name.
    m_openFailure = error.what();
  }
  return m_current.has_value();
}

const std::string& TSettingsRegistry::CurrentPath() const {
  static const std::string kNone;
  return m_current ? *m_current : kNone;
}

bool TSettingsRegistry::ValueExists(const std::string& name) const {
  return ReadValue(name).has_value();
}

std::optional<RegValue> TSettingsRegistry::ReadValue(const std::string& name) const {
  if (!m_current) return std::nullopt;
  return m_registry.queryValue(m_root, *m_current, name);
}

void TSettingsRegistry::write(const std::string& name, const RegValue& value) {
  try {
    if (!m_current) throw ERegistryError(m_openFailure.empty() ? "the key is not open" : m_openFailure);
    m_registry.setValue(m_root, *m_current, name, value);
  } catch (const Error& error) {
    throw ERegistryException(failedToSetData(name, error.what()));
  }
}

void TSettingsRegistry::WriteString(const std::string& name, const std::string& text) {
  write(name, RegValue::string(text));
}

void TSettingsRegistry::WriteInteger(const std::string& name, int32_t value) {
  write(name, RegValue::dword(static_cast<uint32_t>(value)));
}

void TSettingsRegistry::WriteBinaryData(const std::string& name, const std::string& bytes) {
  write(name, RegValue::binary(bytes));
}

bool TSettingsRegistry::DeleteValue(const std::string& name) {
  if (!m_current) return false;
  try {
    return m_registry.deleteValue(m_root, *m_current, name);
  } catch (const Error&) {
    return false;
  }
}

bool TSettingsRegistry::HasValues() const {
  if (!m_current) return false;
  auto info = m_registry.queryInfo(m_root, *m_current);
  return info && info->values > 0;
}

bool TSettingsRegistry::HasSubKeys() const {
  if (!m_current) return false;
  auto info = m_registry.queryInfo(m_root, *m_current);
  return info && info->subKeys > 0;
}

bool TSettingsRegistry::DeleteKey(const std::string& path) {
  try {
    return m_registry.deleteKey(m_root, path, kWithSubKeys);
  } catch (const Error&) {
    return false;
  }
}

}  // namespace glx
