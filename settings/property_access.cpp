#include "settings/property_access.h"

#include <QMetaEnum>
#include <QMetaProperty>
#include <QObject>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace glx {

namespace {

enum class PropKind { None, Integer, Enumeration, Boolean, Float, String, Bytes, Set, Object, StringList, Variant };

PropKind kindOf(const QMetaProperty& property) {
  if (!property.isValid() || !property.isReadable() || !property.isStored()) return PropKind::None;
  if (property.isEnumType()) {
    return property.enumerator().isFlag() ? PropKind::Set : PropKind::Enumeration;
  }
  const QMetaType type = property.metaType();
  if (type.flags().testFlag(QMetaType::PointerToQObject)) return PropKind::Object;
  switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::QChar:
    case QMetaType::Char16:
    case QMetaType::Char32:
      return PropKind::Integer;
    case QMetaType::Bool:
      return PropKind::Boolean;
    case QMetaType::Double:
    case QMetaType::Float:
      return PropKind::Float;
    case QMetaType::QString:
      return PropKind::String;
    case QMetaType::QByteArray:
      return PropKind::Bytes;
    case QMetaType::QStringList:
      return PropKind::StringList;
    case QMetaType::QVariant:
      return PropKind::Variant;
    default:
      return PropKind::None;
  }
}

QMetaProperty findProperty(const QObject* object, const std::string& name) {
  const QMetaObject* meta = object->metaObject();
  const int index = meta->indexOfProperty(name.c_str());
  return index < 0 ? QMetaProperty() : meta->property(index);
}

std::vector<std::string> splitDots(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t dot = path.find('.'); dot != std::string::npos; dot = path.find('.', start)) {
    parts.push_back(path.substr(start, dot - start));
    start = dot + 1;
  }
  parts.push_back(path.substr(start));
  return parts;
}

// The members 0 to 31 of a flags enumerator: the names of its single-bit
// keys by bit number.
std::vector<std::pair<int, std::string>> setMembers(const QMetaEnum& enumerator) {
  std::vector<std::pair<int, std::string>> members;
  for (int i = 0; i < enumerator.keyCount(); ++i) {
    const unsigned value = static_cast<unsigned>(enumerator.value(i));
    if (value == 0 || (value & (value - 1)) != 0) continue;
    int bit = 0;
    while ((1u << bit) != value) ++bit;
    bool known = false;
    for (const auto& member : members) known = known || member.first == bit;
    if (!known) members.emplace_back(bit, enumerator.key(i));
  }
  std::sort(members.begin(), members.end());
  return members;
}

StringList toBytesList(const QStringList& list) {
  StringList out;
  for (const QString& item : list) out.push_back(item.toStdString());
  return out;
}

QStringList fromBytesList(const StringList& list) {
  QStringList out;
  for (const std::string& item : list) out << QString::fromStdString(item);
  return out;
}

}  // namespace

std::string PropertyAccess::windowName() const {
  return m_window ? m_window->objectName().toStdString() : std::string();
}

QObject* PropertyAccess::findControl(const std::string& name) const {
  if (!m_window || name.empty()) return nullptr;
  return m_window->findChild<QObject*>(QString::fromStdString(name));
}

SettingValue PropertyAccess::readPath(const std::string& path) const {
  SettingValue result;
  if (!m_window || path.empty()) return result;
  std::vector<std::string> parts = splitDots(path);
  if (parts.front() == windowName()) parts.erase(parts.begin());
  QObject* current = m_window;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& name = parts[i];
    const bool last = i + 1 == parts.size();
    const QMetaProperty property = findProperty(current, name);
    const PropKind kind = kindOf(property);
    if (kind == PropKind::None) {
      QObject* control = findControl(name);
      if (!control) return result;
      current = control;
      continue;
    }
    const QVariant data = property.read(current);
    switch (kind) {
      case PropKind::Integer:
        if (data.typeId() == QMetaType::QChar) return SettingValue::ofInteger(data.toChar().unicode());
        return SettingValue::ofInteger(static_cast<int32_t>(data.toLongLong()));
      case PropKind::Enumeration: {
        const char* key = property.enumerator().valueToKey(data.toInt());
        return SettingValue::ofString(key ? key : "");
      }
      case PropKind::Boolean:
        return SettingValue::ofString(data.toBool() ? "True" : "False");
      case PropKind::Float:
        return SettingValue::ofFloat(data.toDouble());
      case PropKind::String:
        return SettingValue::ofString(data.toString().toStdString());
      case PropKind::Bytes:
        return SettingValue::ofString(data.toByteArray().toStdString());
      case PropKind::Set: {
        const unsigned bits = static_cast<unsigned>(data.toInt());
        std::string text;
        for (const auto& [bit, member] : setMembers(property.enumerator())) {
          if (bits & (1u << bit)) text += (text.empty() ? "" : ",") + member;
        }
        return SettingValue::ofString(text);
      }
      case PropKind::StringList:
        if (!last) return result;
        return SettingValue::ofStrings(toBytesList(data.toStringList()));
      case PropKind::Object: {
        QObject* object = data.value<QObject*>();
        if (!object) return result;
        if (!last) {
          current = object;
          continue;
        }
        return SettingValue::ofString(object->objectName().toStdString());
      }
      case PropKind::Variant:
        return SettingValue::ofVariantText(data.toString().toStdString());
      case PropKind::None:
        break;
    }
    return result;
  }
  return result;
}

void PropertyAccess::writePath(const std::string& path, const SettingValue& value) const {
  if (!m_window || path.empty() || value.kind == SettingKind::Empty) return;
  std::vector<std::string> parts = splitDots(path);
  if (parts.front() == windowName()) parts.erase(parts.begin());
  QObject* current = m_window;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& name = parts[i];
    const bool last = i + 1 == parts.size();
    const QMetaProperty property = findProperty(current, name);
    const PropKind kind = kindOf(property);
    if (kind == PropKind::None) {
      QObject* control = findControl(name);
      if (!control) return;
      current = control;
      continue;
    }
    // A read-only reference may still lead on to a writable property.
    if (!property.isWritable() && !(kind == PropKind::Object && !last)) return;
    switch (kind) {
      case PropKind::Integer:
        if (valueIsNumeric(value)) property.write(current, QVariant(valueAsInteger(value)));
        return;
      case PropKind::Enumeration: {
        bool ok = false;
        const int ordinal = property.enumerator().keyToValue(valueAsString(value).c_str(), &ok);
        if (ok) property.write(current, QVariant(ordinal));
        return;
      }
      case PropKind::Boolean: {
        const std::string text = valueAsString(value);
        if (text == "True" || text == "False") property.write(current, QVariant(text == "True"));
        return;
      }
      case PropKind::Float:
        if (valueIsNumeric(value)) {
          property.write(current, QVariant(static_cast<double>(valueAsFloat(value))));
        }
        return;
      case PropKind::String:
        property.write(current, QVariant(QString::fromStdString(valueAsString(value))));
        return;
      case PropKind::Bytes:
        property.write(current, QVariant(QByteArray::fromStdString(valueAsString(value))));
        return;
      case PropKind::Set: {
        if (value.kind != SettingKind::String) return;
        std::vector<std::string> names;
        size_t start = 0;
        for (size_t comma = value.text.find(','); comma != std::string::npos;
             comma = value.text.find(',', start)) {
          names.push_back(value.text.substr(start, comma - start));
          start = comma + 1;
        }
        names.push_back(value.text.substr(start));
        unsigned bits = 0;
        for (const auto& [bit, member] : setMembers(property.enumerator())) {
          for (const auto& wanted : names) {
            if (wanted == member) bits |= 1u << bit;
          }
        }
        property.write(current, QVariant(static_cast<int>(bits)));
        return;
      }
      case PropKind::StringList: {
        if (!last) return;
        StringList list = toBytesList(property.read(current).toStringList());
        valueAssignTo(value, list);
        property.write(current, QVariant(fromBytesList(list)));
        return;
      }
      case PropKind::Object: {
        if (!last) {
          QObject* object = property.read(current).value<QObject*>();
          if (!object) return;
          current = object;
          continue;
        }
        QObject* target = findControl(valueAsString(value));
        const QMetaObject* wanted = property.metaType().metaObject();
        if (target && wanted && target->metaObject()->inherits(wanted)) {
          property.write(current, QVariant(property.metaType(), &target));
        }
        return;
      }
      case PropKind::Variant:
        property.write(current, valueAsVariant(value));
        return;
      case PropKind::None:
        return;
    }
  }
}

}  // namespace glx
