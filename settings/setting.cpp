#include "settings/setting.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QScopedValueRollback>
#include <QTime>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "settings/property_access.h"
#include "settings/settings_registry.h"

namespace glx {

static_assert(std::numeric_limits<long double>::digits == 64,
              "stored floats are 80-bit extended values");

namespace {

const char* const kErrorGetAs = "Cannot use GetAs functions with collections or hidden properties";
const char* const kErrorSetAs = "Cannot use SetAs functions with collections or hidden properties";
const char kMarker[] = "TPSOK";
// Marks a scrambled stream whose remainder is escaped so that it holds no
// byte 255, which the running sum modulo 255 cannot carry.
const char kEscapedMarker[] = "TPSOE";
constexpr unsigned char kEscape = 0xFE;

bool isReference(SettingKind kind) {
  return kind == SettingKind::Hidden || kind == SettingKind::Collection;
}

std::string localeDecimalPoint() {
  const std::string point = QLocale::system().decimalPoint().toStdString();
  return point.empty() ? std::string(".") : point;
}

int32_t truncToInt32(long double value) {
  if (std::isnan(value)) return 0;
  const long double truncated = std::trunc(value);
  if (truncated >= 2147483647.0L) return std::numeric_limits<int32_t>::max();
  if (truncated <= -2147483648.0L) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(truncated);
}

void putInt32(std::string& out, int32_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((bits >> (8 * i)) & 0xFF);
}

bool getInt32(const std::string& data, size_t& pos, int32_t& value) {
  if (data.size() < pos + 4) return false;
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) {
    bits |= static_cast<uint32_t>(static_cast<unsigned char>(data[pos + i])) << (8 * i);
  }
  pos += 4;
  value = static_cast<int32_t>(bits);
  return true;
}

void putFloat(std::string& out, long double value) {
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &value, sizeof value);
  out.append(reinterpret_cast<const char*>(bytes), 10);
}

bool getFloat(const std::string& data, size_t& pos, long double& value) {
  if (data.size() < pos + 10) return false;
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, data.data() + pos, 10);
  std::memcpy(&value, bytes, sizeof value);
  pos += 10;
  return true;
}

void putText(std::string& out, const std::string& text) {
  putInt32(out, static_cast<int32_t>(text.size()));
  out += text;
}

bool getText(const std::string& data, size_t& pos, std::string& text) {
  int32_t length = 0;
  if (!getInt32(data, pos, length) || length < 0 ||
      data.size() - pos < static_cast<size_t>(length)) {
    return false;
  }
  text = data.substr(pos, static_cast<size_t>(length));
  pos += static_cast<size_t>(length);
  return true;
}

// Kind and payload as the binary and scrambled forms carry them.
void putPayload(std::string& out, const SettingValue& value) {
  switch (value.kind) {
    case SettingKind::Integer:
      putInt32(out, value.integer);
      break;
    case SettingKind::Float:
    case SettingKind::DateTime:
      putFloat(out, value.number);
      break;
    case SettingKind::Boolean:
      out += static_cast<char>(value.boolean ? 1 : 0);
      break;
    case SettingKind::String:
    case SettingKind::Variant:
    case SettingKind::StringList:
      putText(out, value.text);
      break;
    default:
      // Empty has no payload; the program binds no hidden properties or
      // collections, so they carry none either.
      break;
  }
}

std::mt19937& randomBytes() {
  static std::mt19937 generator{std::random_device{}()};
  return generator;
}

// A random first byte that differs from the one used last, so that two
// scramblings of one value never give the same bytes.
unsigned char nextFirstByte() {
  static int last = -1;
  std::uniform_int_distribution<int> byte(0, 255);
  int next = byte(randomBytes());
  while (next == last) next = byte(randomBytes());
  last = next;
  return static_cast<unsigned char>(next);
}

std::string escape255(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == kEscape || c == 0xFF) {
      out += static_cast<char>(kEscape);
      out += static_cast<char>(c == kEscape ? 0 : 1);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool unescape255(const std::string& bytes, std::string& out) {
  out.clear();
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c != kEscape) {
      out += static_cast<char>(c);
      continue;
    }
    if (++i >= bytes.size()) return false;
    const unsigned char code = static_cast<unsigned char>(bytes[i]);
    if (code > 1) return false;
    out += static_cast<char>(code == 0 ? kEscape : 0xFF);
  }
  return true;
}

}  // namespace

// ---- comma text ----------------------------------------------------------

std::string commaText(const StringList& items) {
  if (items.size() == 1 && items[0].empty()) return "\"\"";
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    const std::string& item = items[i];
    bool quote = false;
    for (unsigned char c : item) {
      if (c <= ' ' || c == '"' || c == ',') {
        quote = true;
        break;
      }
    }
    if (!quote) {
      out += item;
      continue;
    }
    out += '"';
    for (char c : item) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

StringList parseCommaText(const std::string& text) {
  // A NUL byte ends the text, as it ends the run-time's text.
  const std::string input = text.substr(0, text.find('\0'));
  auto at = [&](size_t i) -> unsigned char {
    return i < input.size() ? static_cast<unsigned char>(input[i]) : 0;
  };
  auto blank = [&](size_t i) { return at(i) >= 1 && at(i) <= ' '; };
  StringList items;
  size_t p = 0;
  while (blank(p)) ++p;
  while (at(p) != 0) {
    std::string item;
    if (at(p) == '"') {
      ++p;
      while (at(p) != 0) {
        if (at(p) == '"') {
          if (at(p + 1) == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += static_cast<char>(at(p));
        ++p;
      }
    } else {
      const size_t start = p;
      while (at(p) > ' ' && at(p) != ',') ++p;
      item = input.substr(start, p - start);
    }
    items.push_back(item);
    while (blank(p)) ++p;
    if (at(p) == ',') {
      do {
        ++p;
      } while (blank(p));
    }
  }
  return items;
}

// ---- numbers and dates as text -------------------------------------------

std::string floatToText(long double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::general, 15);
  std::string text(buffer, result.ptr);
  std::string exponent;
  const size_t e = text.find('e');
  if (e != std::string::npos) {
    // "1e+20" -> "1E20", "1e-05" -> "1E-5"
    std::string digits = text.substr(e + 1);
    text.erase(e);
    std::string sign;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
      if (digits[0] == '-') sign = "-";
      digits.erase(0, 1);
    }
    while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
    exponent = "E" + sign + digits;
  }
  const size_t dot = text.find('.');
  if (dot != std::string::npos) text.replace(dot, 1, localeDecimalPoint());
  return text + exponent;
}

bool textToFloat(const std::string& text, long double& value) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  const std::string point = localeDecimalPoint();
  std::string normal;
  size_t i = begin;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normal += '-';
    ++i;
  }
  size_t digits = 0;
  while (i < end && text[i] >= '0' && text[i] <= '9') {
    normal += text[i++];
    ++digits;
  }
  if (i < end && text.compare(i, point.size(), point) == 0) {
    normal += '.';
    i += point.size();
    while (i < end && text[i] >= '0' && text[i] <= '9') {
      normal += text[i++];
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    normal += 'e';
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-')) normal += text[i++];
    size_t expDigits = 0;
    while (i < end && text[i] >= '0' && text[i] <= '9') {
      normal += text[i++];
      ++expDigits;
    }
    if (expDigits == 0) return false;
  }
  if (i != end) return false;
  long double parsed = 0;
  const auto result = std::from_chars(normal.data(), normal.data() + normal.size(), parsed);
  if (result.ec != std::errc() || result.ptr != normal.data() + normal.size()) return false;
  value = parsed;
  return true;
}

std::string dateTimeToText(long double days) {
  // Beyond any calendar date (and beyond a 64-bit day count) the value can
  // only be shown as the number it is.
  if (!std::isfinite(days) || std::fabs(days) > 1e12L) return floatToText(days);
  const long double whole = std::trunc(days);
  long long ms = std::llround(std::fabs(days - whole) * 86400000.0L);
  long long dayCount = static_cast<long long>(whole);
  if (ms >= 86400000) {
    ms -= 86400000;
    dayCount += days < 0 ? -1 : 1;
  }
  const QLocale locale = QLocale::system();
  const QDate date = QDate(1899, 12, 30).addDays(dayCount);
  QString text = locale.toString(date, QLocale::ShortFormat);
  if (ms != 0) {
    // The long time format without the time zone, which a bare time has not.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    text += QLatin1Char(' ') + locale.toString(QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), format);
  }
  return text.toStdString();
}

// ---- values ----------------------------------------------------------------

SettingValue SettingValue::ofString(std::string text) {
  SettingValue v;
  v.kind = SettingKind::String;
  v.text = std::move(text);
  return v;
}

SettingValue SettingValue::ofInteger(int32_t value) {
  SettingValue v;
  v.kind = SettingKind::Integer;
  v.integer = value;
  return v;
}

SettingValue SettingValue::ofFloat(long double value) {
  SettingValue v;
  v.kind = SettingKind::Float;
  v.number = value;
  return v;
}

SettingValue SettingValue::ofBoolean(bool value) {
  SettingValue v;
  v.kind = SettingKind::Boolean;
  v.boolean = value;
  return v;
}

SettingValue SettingValue::ofDateTime(long double days) {
  SettingValue v;
  v.kind = SettingKind::DateTime;
  v.number = days;
  return v;
}

SettingValue SettingValue::ofVariantText(std::string text) {
  SettingValue v;
  v.kind = SettingKind::Variant;
  v.text = std::move(text);
  return v;
}

SettingValue SettingValue::ofStrings(const StringList& items) {
  SettingValue v;
  v.kind = SettingKind::StringList;
  v.text = commaText(items);
  return v;
}

std::string valueAsString(const SettingValue& value) {
  switch (value.kind) {
    case SettingKind::Empty:
      return {};
    case SettingKind::String:
    case SettingKind::Variant:
    case SettingKind::StringList:
      return value.text;
    case SettingKind::Integer:
      return std::to_string(value.integer);
    case SettingKind::Float:
      return floatToText(value.number);
    case SettingKind::Boolean:
      return value.boolean ? "True" : "False";
    case SettingKind::DateTime:
      return dateTimeToText(value.number);
    case SettingKind::Hidden:
    case SettingKind::Collection:
      break;
  }
  throw ESettingException(kErrorGetAs);
}

int32_t valueAsInteger(const SettingValue& value) {
  switch (value.kind) {
    case SettingKind::Empty:
      return 0;
    case SettingKind::String:
    case SettingKind::Variant: {
      long double number = 0;
      return textToFloat(value.text, number) ? truncToInt32(number) : 0;
    }
    case SettingKind::Integer:
      return value.integer;
    case SettingKind::Float:
      return truncToInt32(value.number);
    case SettingKind::Boolean:
      return value.boolean ? 1 : 0;
    case SettingKind::DateTime:
      throw ESettingException("TSetting.AsInteger cannot convert from TDateTime type");
    case SettingKind::StringList:
      throw ESettingException("TSetting.AsInteger cannot convert from TStrings type");
    case SettingKind::Hidden:
    case SettingKind::Collection:
      break;
  }
  throw ESettingException(kErrorGetAs);
}

long double valueAsFloat(const SettingValue& value) {
  switch (value.kind) {
    case SettingKind::Empty:
      return 0;
    case SettingKind::String:
    case SettingKind::Variant: {
      long double number = 0;
      return textToFloat(value.text, number) ? number : 0;
    }
    case SettingKind::Integer:
      return value.integer;
    case SettingKind::Float:
    case SettingKind::DateTime:
      return value.number;
    case SettingKind::Boolean:
      return value.boolean ? 1.0L : 0.0L;
    case SettingKind::StringList:
      throw ESettingException("TSetting.AsFloat cannot convert from TStrings type");
    case SettingKind::Hidden:
    case SettingKind::Collection:
      break;
  }
  throw ESettingException(kErrorGetAs);
}

bool valueAsBoolean(const SettingValue& value) {
  switch (value.kind) {
    case SettingKind::Empty:
      return false;
    case SettingKind::String:
    case SettingKind::Variant:
      return value.text == "True";
    case SettingKind::Integer:
      return value.integer != 0;
    case SettingKind::Float:
      return value.number != 0;
    case SettingKind::Boolean:
      return value.boolean;
    case SettingKind::DateTime:
      throw ESettingException("TSetting.AsBoolean cannot convert from TDateTime type");
    case SettingKind::StringList:
      throw ESettingException("TSetting.AsBoolean cannot convert from TStrings type");
    case SettingKind::Hidden:
    case SettingKind::Collection:
      break;
  }
  throw ESettingException(kErrorGetAs);
}

QVariant valueAsVariant(const SettingValue& value) {
  switch (value.kind) {
    case SettingKind::Empty:
      return QVariant(QString());
    case SettingKind::String:
    case SettingKind::Variant:
    case SettingKind::StringList:
      return QVariant(QString::fromStdString(value.text));
    case SettingKind::Integer:
      return QVariant(static_cast<int>(value.integer));
    case SettingKind::Float:
    case SettingKind::DateTime:
      return QVariant(static_cast<double>(value.number));
    case SettingKind::Boolean:
      return QVariant(value.boolean);
    case SettingKind::Hidden:
    case SettingKind::Collection:
      break;
  }
  throw ESettingException(kErrorGetAs);
}

void valueAssignTo(const SettingValue& value, StringList& list) {
  switch (value.kind) {
    case SettingKind::Empty:
      return;
    case SettingKind::StringList:
      list = parseCommaText(value.text);
      return;
    case SettingKind::Hidden:
    case SettingKind::Collection:
      throw ESettingException(kErrorGetAs);
    default:
      list.push_back(valueAsString(value));
  }
}

bool valueIsNumeric(const SettingValue& value) {
  long double number = 0;
  switch (value.kind) {
    case SettingKind::Integer:
    case SettingKind::Float:
      return true;
    case SettingKind::String:
    case SettingKind::Variant:
      return textToFloat(value.text, number);
    default:
      return false;
  }
}

// ---- scrambling ------------------------------------------------------------

std::string scrambleBytes(const std::string& plain, const std::string& key, unsigned char first) {
  std::string out;
  out.reserve(plain.size() + 1);
  out += static_cast<char>(first);
  int r = first;
  for (size_t k = 1; k <= plain.size(); ++k) {
    r = (r + static_cast<unsigned char>(plain[k - 1])) % 255;
    const int keyByte = key.empty() ? 0 : static_cast<unsigned char>(key[(k - 1) % key.size()]);
    out += static_cast<char>(keyByte ^ r);
  }
  return out;
}

std::string unscrambleBytes(const std::string& data, const std::string& key) {
  std::string plain;
  if (data.empty()) return plain;
  int previous = static_cast<unsigned char>(data[0]);
  for (size_t k = 1; k < data.size(); ++k) {
    const int keyByte = key.empty() ? 0 : static_cast<unsigned char>(key[(k - 1) % key.size()]);
    const int r = static_cast<unsigned char>(data[k]) ^ keyByte;
    plain += static_cast<char>((r - previous + 255) % 255);
    previous = r;
  }
  return plain;
}

// ---- TSetting --------------------------------------------------------------

TSetting::TSetting(std::string name, std::string boundProperty, std::string relAppSetting,
                   bool encrypted, PropertyAccess* access)
    : m_name(std::move(name)),
      m_boundProperty(std::move(boundProperty)),
      m_relAppSetting(std::move(relAppSetting)),
      m_encrypted(encrypted),
      m_access(access) {}

std::string TSetting::UniqueName() const {
  std::string unique = m_boundProperty + m_name;
  for (char& c : unique) {
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum) c = '_';
  }
  return unique;
}

std::string TSetting::AsString() {
  if (!m_boundProperty.empty() && !m_writing) refreshFromProperty();
  return valueAsString(m_value);
}

int32_t TSetting::AsInteger() {
  if (!m_boundProperty.empty() && !m_writing) refreshFromProperty();
  return valueAsInteger(m_value);
}

long double TSetting::AsFloat() {
  if (!m_boundProperty.empty() && !m_writing) refreshFromProperty();
  return valueAsFloat(m_value);
}

bool TSetting::AsBoolean() {
  if (!m_boundProperty.empty() && !m_writing) refreshFromProperty();
  return valueAsBoolean(m_value);
}

QVariant TSetting::AsVariant() {
  if (!m_boundProperty.empty() && !m_writing) refreshFromProperty();
  return valueAsVariant(m_value);
}

void TSetting::AssignTo(StringList& list) {
  if (!m_boundProperty.empty() && !m_writing) refreshFromProperty();
  valueAssignTo(m_value, list);
}

void TSetting::storeAndApply(SettingValue value) {
  if (isReference(m_value.kind)) throw ESettingException(kErrorSetAs);
  m_value = std::move(value);
  if (!m_boundProperty.empty() && !m_reading) applyToProperty();
}

void TSetting::setAsString(const std::string& text) { storeAndApply(SettingValue::ofString(text)); }
void TSetting::setAsInteger(int32_t value) { storeAndApply(SettingValue::ofInteger(value)); }
void TSetting::setAsFloat(long double value) { storeAndApply(SettingValue::ofFloat(value)); }
void TSetting::setAsBoolean(bool value) { storeAndApply(SettingValue::ofBoolean(value)); }
void TSetting::setAsDateTime(long double days) { storeAndApply(SettingValue::ofDateTime(days)); }
void TSetting::setAsStrings(const StringList& items) {
  storeAndApply(SettingValue::ofStrings(items));
}

void TSetting::setAsVariant(const QVariant& value) {
  if (isReference(m_value.kind)) throw ESettingException(kErrorSetAs);
  const int type = value.typeId();
  if (type == QMetaType::QVariantList || type == QMetaType::QStringList) {
    throw ESettingException("TSetting.AsVariant cannot accept variant arrays");
  }
  std::string text;
  switch (type) {
    case QMetaType::Bool:
      text = value.toBool() ? "True" : "False";
      break;
    case QMetaType::Double:
    case QMetaType::Float:
      text = floatToText(value.toDouble());
      break;
    case QMetaType::QByteArray:
      text = value.toByteArray().toStdString();
      break;
    default:
      text = value.toString().toStdString();
  }
  storeAndApply(SettingValue::ofVariantText(text));
}

void TSetting::setValue(const SettingValue& value) {
  m_value = value;
  if (!m_boundProperty.empty() && !m_reading) applyToProperty();
}

void TSetting::clear() { m_value = SettingValue(); }

void TSetting::snapshotDefault() {
  if (m_boundProperty.empty()) return;
  m_default = m_access ? m_access->readPath(m_boundProperty) : SettingValue();
}

void TSetting::refreshFromProperty() {
  if (m_reading) return;
  const QScopedValueRollback reading(m_reading, true);
  m_value = SettingValue();
  if (m_access && !m_boundProperty.empty()) m_value = m_access->readPath(m_boundProperty);
}

void TSetting::applyToProperty() {
  if (m_writing) return;
  const QScopedValueRollback writing(m_writing, true);
  if (m_access && !m_boundProperty.empty() && m_value.kind != SettingKind::Empty) {
    m_access->writePath(m_boundProperty, m_value);
  }
}

bool TSetting::changed() const {
  if (m_boundProperty.empty()) return true;
  if (m_value.kind != m_default.kind) return false;
  switch (m_value.kind) {
    case SettingKind::String:
    case SettingKind::Variant:
    case SettingKind::StringList:
      return m_value.text != m_default.text;
    case SettingKind::Integer:
      return m_value.integer != m_default.integer;
    case SettingKind::Float:
    case SettingKind::DateTime:
      return m_value.number != m_default.number;
    case SettingKind::Boolean:
      return m_value.boolean != m_default.boolean;
    case SettingKind::Hidden:
    case SettingKind::Collection:
      return true;
    case SettingKind::Empty:
      return false;
  }
  return false;
}

std::pair<std::string, std::string> TSetting::keyAndValueName(const std::string& base) const {
  if (!m_name.empty()) return {base, m_name};
  std::string key = base;
  size_t start = 0;
  for (size_t dot = m_boundProperty.find('.'); dot != std::string::npos;
       dot = m_boundProperty.find('.', start)) {
    key += "\\" + m_boundProperty.substr(start, dot - start);
    start = dot + 1;
  }
  return {key, m_boundProperty.substr(start)};
}

std::string TSetting::plainStream() const {
  std::string out;
  putText(out, kMarker);
  putInt32(out, static_cast<int32_t>(m_value.kind));
  putPayload(out, m_value);
  return out;
}

std::string TSetting::scrambled() const {
  std::string plain = plainStream();
  if (plain.find('\xff') != std::string::npos) {
    std::string escaped;
    putText(escaped, kEscapedMarker);
    escaped += escape255(plain.substr(4 + 5));
    plain = escaped;
  }
  return scrambleBytes(plain, UniqueName(), nextFirstByte());
}

bool TSetting::loadPayload(SettingKind kind, const std::string& data, size_t& pos) {
  SettingValue value;
  value.kind = kind;
  switch (kind) {
    case SettingKind::String:
    case SettingKind::Variant:
    case SettingKind::StringList:
      if (!getText(data, pos, value.text)) return false;
      break;
    case SettingKind::Integer:
      if (!getInt32(data, pos, value.integer)) return false;
      break;
    case SettingKind::Float:
    case SettingKind::DateTime:
      if (!getFloat(data, pos, value.number)) return false;
      break;
    case SettingKind::Boolean:
      if (data.size() < pos + 1) return false;
      value.boolean = data[pos++] != 0;
      break;
    default:
      // Nothing the program stores; an empty or unknown kind restores nothing.
      return false;
  }
  m_value = value;
  return true;
}

bool TSetting::loadScrambled(const std::string& data) {
  m_value = SettingValue();
  std::string plain = unscrambleBytes(data, UniqueName());
  size_t pos = 0;
  std::string marker;
  if (!getText(plain, pos, marker)) return false;
  if (marker == kEscapedMarker) {
    std::string rest;
    if (!unescape255(plain.substr(pos), rest)) return false;
    plain = rest;
    pos = 0;
  } else if (marker != kMarker) {
    return false;
  }
  int32_t kind = 0;
  if (!getInt32(plain, pos, kind)) return false;
  if (kind < 0 || kind > static_cast<int32_t>(SettingKind::Collection)) return false;
  if (!loadPayload(static_cast<SettingKind>(kind), plain, pos)) {
    m_value = SettingValue();
    return false;
  }
  return true;
}

void TSetting::saveToRegistry(TSettingsRegistry& registry, const std::string& base, bool force) {
  if (!m_relAppSetting.empty()) return;
  if (!m_boundProperty.empty()) refreshFromProperty();
  const auto [key, name] = keyAndValueName(base);
  if (changed() || force) {
    registry.OpenKey(key, kCreateKey);
    if (m_encrypted) {
      registry.WriteBinaryData(name, scrambled());
    } else {
      std::string data;
      switch (m_value.kind) {
        case SettingKind::String:
          registry.WriteString(name, m_value.text);
          break;
        case SettingKind::Integer:
          registry.WriteInteger(name, m_value.integer);
          break;
        case SettingKind::Empty:
          break;
        default:
          putInt32(data, static_cast<int32_t>(m_value.kind));
          putPayload(data, m_value);
          registry.WriteBinaryData(name, data);
      }
    }
    registry.CloseKey();
    return;
  }
  if (registry.OpenKey(key, kExistingKey)) {
    registry.DeleteValue(name);
    // A key left without values goes, but never takes sub-keys that still
    // hold other settings with it.
    if (!registry.HasValues() && !registry.HasSubKeys()) {
      const std::string path = registry.CurrentPath();
      registry.CloseKey();
      registry.DeleteKey(path);
    }
  }
  registry.CloseKey();
}

void TSetting::restoreFromRegistry(TSettingsRegistry& registry, const std::string& base) {
  if (!m_relAppSetting.empty()) return;
  const auto [key, name] = keyAndValueName(base);
  if (!registry.OpenKey(key, kExistingKey)) return;
  const std::optional<RegValue> stored = registry.ReadValue(name);
  registry.CloseKey();
  if (!stored) return;
  try {
    if (m_encrypted) {
      if (stored->type == kRegBinary) loadScrambled(stored->data);
    } else if (stored->type == kRegSz) {
      m_value = SettingValue::ofString(stored->data);
    } else if (stored->type == kRegDword && stored->data.size() == 4) {
      m_value = SettingValue::ofInteger(static_cast<int32_t>(stored->asDword()));
    } else if (stored->type == kRegBinary) {
      size_t pos = 0;
      int32_t kind = 0;
      if (getInt32(stored->data, pos, kind) && kind >= static_cast<int32_t>(SettingKind::Float) &&
          kind <= static_cast<int32_t>(SettingKind::Collection)) {
        const SettingValue before = m_value;
        if (!loadPayload(static_cast<SettingKind>(kind), stored->data, pos)) m_value = before;
      }
    }
  } catch (const Error&) {
    // Read errors are swallowed; the value keeps what it had.
  }
  applyToProperty();
}

}  // namespace glx
