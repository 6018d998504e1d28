// One persisted setting: a typed value, optionally bound to a property of a
// control in a window ("BrowserNames.Items", "browser.Caption"), that turns
// itself into one registry value and back, plainly or scrambled.
//
// Text is 8-bit (std::string bytes); a string list is a list of such texts
// and is held as its comma text. Floats and date-times are x87 extended
// values (long double); a date-time counts days from 30 December 1899.
// GUI thread only.
#pragma once

#include <QVariant>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/errors.h"

class QObject;

namespace glx {

// The codes are written into stored data as 32-bit little-endian integers.
enum class SettingKind : int32_t {
  Empty = 0,
  String = 1,
  Integer = 2,
  Float = 3,
  Boolean = 4,
  DateTime = 5,
  Variant = 6,
  StringList = 7,
  Hidden = 8,
  Collection = 9,
};

class ESettingException : public Error {
 public:
  using Error::Error;
};

using StringList = std::vector<std::string>;

// The one-line text form of a string list and back.
std::string commaText(const StringList& items);
StringList parseCommaText(const std::string& text);

// A kind and its payload.
struct SettingValue {
  SettingKind kind = SettingKind::Empty;
  std::string text;         // String, Variant, StringList (its comma text)
  int32_t integer = 0;      // Integer
  long double number = 0;   // Float, DateTime
  bool boolean = false;     // Boolean
  QObject* object = nullptr;  // Hidden, Collection

  static SettingValue ofString(std::string text);
  static SettingValue ofInteger(int32_t value);
  static SettingValue ofFloat(long double value);
  static SettingValue ofBoolean(bool value);
  static SettingValue ofDateTime(long double days);
  static SettingValue ofVariantText(std::string text);
  static SettingValue ofStrings(const StringList& items);
};

// The conversions of the getter table, without any property refresh.
std::string valueAsString(const SettingValue& value);
int32_t valueAsInteger(const SettingValue& value);
long double valueAsFloat(const SettingValue& value);
bool valueAsBoolean(const SettingValue& value);
QVariant valueAsVariant(const SettingValue& value);
// Assigning to a string list: kinds 1 to 6 append one line, kind 7
// replaces the list, kind 0 leaves it alone.
void valueAssignTo(const SettingValue& value, StringList& list);
// Kinds 2 and 3, or a text that reads as a number.
bool valueIsNumeric(const SettingValue& value);

// Text and numbers as the program shows and reads them.
std::string floatToText(long double value);          // general, 15 digits
bool textToFloat(const std::string& text, long double& value);
std::string dateTimeToText(long double days);

// The scrambled form: a random first byte, then a running sum modulo 255
// XORed with the key. A plain byte of 255 does not survive it, see
// scrambleSetting() for how such values are kept.
std::string scrambleBytes(const std::string& plain, const std::string& key, unsigned char first);
std::string unscrambleBytes(const std::string& data, const std::string& key);

class PropertyAccess;
class TSettingsRegistry;

// A setting's encrypted flag, by name at the call site.
constexpr bool kEncrypted = true;
constexpr bool kPlainText = false;

class TSetting {
 public:
  // access: the owning window's properties; nullptr for a setting filled by
  // code (a bound path then reads as empty and writes nothing).
  TSetting(std::string name, std::string boundProperty, std::string relAppSetting = {},
           bool encrypted = false, PropertyAccess* access = nullptr);

  const std::string& Name() const { return m_name; }
  const std::string& BoundProperty() const { return m_boundProperty; }
  const std::string& RelAppSetting() const { return m_relAppSetting; }
  bool Encrypted() const { return m_encrypted; }
  // BoundProperty then Name, every byte that is not an ASCII letter or
  // digit turned into "_"; the scrambling key.
  std::string UniqueName() const;
  void setAccess(PropertyAccess* access) { m_access = access; }

  // The held value and the designed default, as they stand.
  const SettingValue& value() const { return m_value; }
  const SettingValue& defaultValue() const { return m_default; }
  SettingKind kind() const { return m_value.kind; }

  // Getters refresh the value from the bound property first.
  std::string AsString();
  int32_t AsInteger();
  long double AsFloat();
  bool AsBoolean();
  QVariant AsVariant();
  void AssignTo(StringList& list);

  // Setters store the value and write it to the bound property at once.
  void setAsString(const std::string& text);
  void setAsInteger(int32_t value);
  void setAsFloat(long double value);
  void setAsBoolean(bool value);
  void setAsDateTime(long double days);
  void setAsVariant(const QVariant& value);
  void setAsStrings(const StringList& items);
  // Takes a kind and payload as it is (used for application-level links).
  void setValue(const SettingValue& value);
  void clear();

  void snapshotDefault();
  void refreshFromProperty();
  void applyToProperty();
  bool changed() const;

  // The registry key (base, a backslash and the path's parts but the
  // last) and value name.
  std::pair<std::string, std::string> keyAndValueName(const std::string& base) const;

  // Writes or, unchanged and not forced, removes the value. Throws
  // ERegistryException "Failed to set data for '%s'".
  void saveToRegistry(TSettingsRegistry& registry, const std::string& base, bool force);
  void restoreFromRegistry(TSettingsRegistry& registry, const std::string& base);

  // The stored forms.
  std::string plainStream() const;  // marker, kind, payload
  std::string scrambled() const;
  // Reads a scrambled value into this setting; false (and empty) when the
  // marker is wrong or the data short.
  bool loadScrambled(const std::string& data);

 private:
  void storeAndApply(SettingValue value);
  bool loadPayload(SettingKind kind, const std::string& data, size_t& pos);

  std::string m_name;
  std::string m_boundProperty;
  std::string m_relAppSetting;
  bool m_encrypted;
  PropertyAccess* m_access;
  SettingValue m_value;
  SettingValue m_default;
  bool m_reading = false;
  bool m_writing = false;
};

}  // namespace glx
