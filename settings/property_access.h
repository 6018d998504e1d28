// By-name access to a window's controls and their properties through Qt's
// meta-object system, as the settings bind to them: a dotted path such as
// "BrowserNames.Items" names a control (found by object name anywhere under
// the window) and one of its stored properties.
//
// Property kinds: integers and characters; enumerations by value name
// (bool counts as the enumeration False/True); floats; strings (QString as
// UTF-8, QByteArray as bytes); flags as the names of their single-bit
// members; QStringList as a string list; QObject references, walked further
// when the path goes on; QVariant. Anything else is ignored.
#pragma once

#include <QPointer>
#include <string>

#include "settings/setting.h"

class QObject;
class QMetaProperty;

namespace glx {

class PropertyAccess {
 public:
  explicit PropertyAccess(QObject* window) : m_window(window) {}
  QObject* window() const { return m_window; }
  std::string windowName() const;

  // A control under the window with that object name (exact), or nullptr.
  QObject* findControl(const std::string& name) const;

  // Reads the property a path names; an empty value when it names nothing.
  SettingValue readPath(const std::string& path) const;
  // Writes a value to the property a path names, converted to its kind;
  // a path that names nothing, or a value that does not fit, writes nothing.
  void writePath(const std::string& path, const SettingValue& value) const;

 private:
  QPointer<QObject> m_window;
};

}  // namespace glx
