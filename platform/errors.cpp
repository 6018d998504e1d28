#include "platform/errors.h"

#include <cerrno>
#include <cstdint>
#include <cstddef>

namespace glx {

EInOutError inOutError(int errnoValue) {
  switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
      return EInOutError(errnoValue, "File not found");
    case EACCES:
    case EPERM:
    case EROFS:
      return EInOutError(errnoValue, "File access denied");
    case ENOSPC:
    case EDQUOT:
      return EInOutError(errnoValue, "Disk full");
    default:
      return EInOutError(errnoValue, "I/O error " + std::to_string(errnoValue));
  }
}

namespace {

// The first kShownValueLength bytes of a long text, cut back to the start of
// a UTF-8 sequence so that the message shows no broken character.
std::string shownPart(const std::string& text) {
  size_t end = kShownValueLength;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u) --end;
  if (end == 0) end = kShownValueLength;
  return text.substr(0, end);
}

std::string lengthNote(const std::string& text) {
  return " (" + withThousandsSeparators(text.size()) + " characters)";
}

}  // namespace

std::string withThousandsSeparators(size_t number) {
  std::string digits = std::to_string(number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string shownValue(const std::string& text) {
  if (text.size() <= kShownValueLength) return text;
  return shownPart(text) + "..." + lengthNote(text);
}

std::string quotedValue(const std::string& text, char quote) {
  if (text.size() <= kShownValueLength) return quote + text + quote;
  return quote + shownPart(text) + "..." + quote + lengthNote(text);
}

EConvertError invalidInteger(const std::string& text) {
  return EConvertError(quotedValue(text) + " is not a valid integer value");
}

int strToInt(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) throw invalidInteger(text);
  uint64_t value = 0;
  size_t digits = 0;
  for (; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      break;
    }
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    ++digits;
    if (value > 0xFFFFFFFFull) throw invalidInteger(text);
  }
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (digits == 0 || i != n) throw invalidInteger(text);
  if (hex) {
    // Hexadecimal text covers the full 32 bits, as "$FFFFFFFF" is -1.
    const auto bits = static_cast<uint32_t>(value);
    return static_cast<int32_t>(negative ? 0u - bits : bits);
  }
  if (negative) {
    if (value > 0x80000000ull) throw invalidInteger(text);
    return static_cast<int>(-static_cast<int64_t>(value));
  }
  if (value > 0x7FFFFFFFull) throw invalidInteger(text);
  return static_cast<int>(value);
}

}  // namespace glx
