// The REGEDIT4 text of one registry root: its value types, the spelling of
// key paths, and the reader and writer. Pure text in and out, no files:
// the registry keeps each root in one such file.
//
// A file starts with "REGEDIT4"; each key is a "[HKEY_...\\path]" line
// followed by its values, "name"=data or @=data for the default value, where
// data is a quoted string, dword:8 hex digits, or hex:/hex(type): with a
// comma list of bytes that may go on over lines ending in "\\". Lines
// starting with ";" are comments.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/errors.h"

namespace glx {

enum class RegRoot { LocalMachine, CurrentUser };

// The registry value types the program stores; other numbers read from a
// file (hex(N):) are kept as they are.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

struct RegValue {
  uint32_t type = kRegNone;
  // REG_SZ: the text without terminator; REG_DWORD: 4 bytes little-endian;
  // others: the raw bytes.
  std::string data;

  static RegValue string(const std::string& text) { return {kRegSz, text}; }
  static RegValue dword(uint32_t value);
  static RegValue binary(const std::string& bytes) { return {kRegBinary, bytes}; }
  // The number of a REG_DWORD value (missing bytes count as 0).
  uint32_t asDword() const;
  bool operator==(const RegValue&) const = default;
};

class ERegistryError : public Error {
 public:
  using Error::Error;
};

// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER".
const char* rootName(RegRoot root);

// Key and value names compare without regard to ASCII letter case.
std::string foldRegName(const std::string& text);
bool sameRegName(const std::string& a, const std::string& b);
// The parts of a key path: "a\\b\\" and "\\a\\\\b" both name a\b.
std::vector<std::string> splitRegPath(const std::string& path);
// The first count parts joined by "\\".
std::string joinRegPath(const std::vector<std::string>& parts, size_t count);
// The path with its empty parts dropped.
std::string normalRegPath(const std::string& path);
// The value of a hexadecimal digit, or -1.
int hexDigitValue(char c);

// The text of one root and back.
// Keys map case-folded paths to their stored spelling and values.
struct RegFileKey {
  std::string path;  // as stored, without the root
  std::vector<std::pair<std::string, RegValue>> values;
};
using RegFileContents = std::vector<RegFileKey>;
std::string formatRegFile(RegRoot root, const RegFileContents& keys);
// Throws ERegistryError with the line number when the text does not parse.
RegFileContents parseRegFile(RegRoot root, const std::string& text);

}  // namespace glx
