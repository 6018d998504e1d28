#include "platform/reg_file.h"

#include <cstdio>
#include <string_view>

#include "platform/ascii.h"

namespace glx {

std::string foldRegName(const std::string& text) { return asciiLowered(text); }

bool sameRegName(const std::string& a, const std::string& b) { return foldRegName(a) == foldRegName(b); }

std::vector<std::string> splitRegPath(const std::string& path) {
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

std::string joinRegPath(const std::vector<std::string>& parts, size_t count) {
  std::string out;
  for (size_t i = 0; i < count && i < parts.size(); ++i) {
    if (i) out += '\\';
    out += parts[i];
  }
  return out;
}

std::string normalRegPath(const std::string& path) {
  const auto parts = splitRegPath(path);
  return joinRegPath(parts, parts.size());
}


int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

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

namespace {

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

[[noreturn]] void parseError(size_t line, const std::string& what) {
  throw ERegistryError("line " + std::to_string(line) + ": " + what);
}

// Views, not copies: a value line can be megabytes long, and each copy of
// it costs as much as its parse.
std::string_view trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(begin, end - begin);
}

// Whether text starts with prefix (lower case), regardless of ASCII case.
bool startsWithFolded(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Reads a quoted text starting at pos (at the opening quote); pos ends past
// the closing quote.
std::string readQuoted(std::string_view line, size_t& pos, size_t lineNo) {
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

// The bytes of a comma list of hexadecimal pairs.
std::string hexList(std::string_view list, size_t lineNo) {
  std::string bytes;
  bytes.reserve(list.size() / 3 + 1);
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) ++i;
    if (i >= list.size()) break;
    const int hi = i < list.size() ? hexDigitValue(list[i]) : -1;
    const int lo = i + 1 < list.size() ? hexDigitValue(list[i + 1]) : -1;
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
  return bytes;
}

RegValue parseData(std::string_view data, size_t lineNo) {
  if (!data.empty() && data[0] == '"') {
    size_t pos = 0;
    std::string text = readQuoted(data, pos, lineNo);
    if (!trim(data.substr(pos)).empty()) parseError(lineNo, "text after a string value");
    return RegValue::string(text);
  }
  // Only the type prefix is compared without regard to case; the data
  // after it may be megabytes.
  const std::string lower = foldRegName(std::string(data.substr(0, 16)));
  if (startsWithFolded(data, "dword:")) {
    const std::string_view digits = trim(data.substr(6));
    if (digits.empty() || digits.size() > 8) parseError(lineNo, "bad dword");
    uint32_t value = 0;
    for (char c : digits) {
      const int d = hexDigitValue(c);
      if (d < 0) parseError(lineNo, "bad dword");
      value = value * 16 + static_cast<uint32_t>(d);
    }
    return RegValue::dword(value);
  }
  uint32_t type = 0;
  size_t pos = 0;
  if (startsWithFolded(data, "hex:")) {
    type = kRegBinary;
    pos = 4;
  } else if (startsWithFolded(data, "hex(")) {
    const size_t close = lower.find("):", 4);
    if (close == std::string::npos || close == 4 || close > 12) parseError(lineNo, "bad hex type");
    for (size_t i = 4; i < close; ++i) {
      const int d = hexDigitValue(lower[i]);
      if (d < 0) parseError(lineNo, "bad hex type");
      type = type * 16 + static_cast<uint32_t>(d);
    }
    pos = close + 2;
  } else {
    parseError(lineNo, "unknown value data");
  }
  std::string bytes = hexList(trim(data.substr(pos)), lineNo);
  if (type == kRegSz) {
    // Strings with control characters are written as hex(1) with their
    // terminator; anything after the first terminator is not part of them.
    if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  }
  return {type, bytes};
}

// The logical lines of a file, each with the number of its first physical
// line: "\" continuations of hex lists joined, line ends dropped. One
// forward pass: a continued line is only appended to, never copied or
// scanned again, so a long value costs time in proportion to its length.
// "name"=data, or @=data for the default value.
std::string valueLine(const std::string& name, const RegValue& value) {
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
  return line;
}

// The key path of a "[HKEY_...\\path]" line, relative to the root.
std::string keyLinePath(std::string_view line, RegRoot root, size_t lineNo) {
  if (line.back() != ']') parseError(lineNo, "bad key line");
  const std::string rootText = foldRegName(rootName(root));
  const std::string full(line.substr(1, line.size() - 2));
  const std::string folded = foldRegName(full);
  if (folded.compare(0, rootText.size(), rootText) != 0 ||
      (folded.size() > rootText.size() && folded[rootText.size()] != '\\')) {
    parseError(lineNo, "key outside " + std::string(rootName(root)));
  }
  return normalRegPath(full.substr(rootText.size()));
}

// The name and value of a "name"=data or @=data line.
std::pair<std::string, RegValue> valueOfLine(std::string_view line, size_t lineNo) {
  size_t pos = 0;
  std::string name;
  if (line[0] == '@') {
    pos = 1;
  } else {
    name = readQuoted(line, pos, lineNo);
  }
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos >= line.size() || line[pos] != '=') parseError(lineNo, "missing \"=\"");
  return {name, parseData(trim(line.substr(pos + 1)), lineNo)};
}

std::vector<std::pair<size_t, std::string>> joinContinuedLines(const std::string& text) {
  std::vector<std::pair<size_t, std::string>> lines;
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
                 foldRegName(pending).find("=hex") != std::string::npos;
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
  return lines;
}

}  // namespace

std::string formatRegFile(RegRoot root, const RegFileContents& keys) {
  std::string out = "REGEDIT4\r\n";
  for (const auto& key : keys) {
    out += "\r\n[";
    out += rootName(root);
    if (!key.path.empty()) out += "\\" + key.path;
    out += "]\r\n";
    for (const auto& [name, value] : key.values) out += valueLine(name, value) + "\r\n";
  }
  return out;
}

RegFileContents parseRegFile(RegRoot root, const std::string& text) {
  const auto lines = joinContinuedLines(text);

  RegFileContents keys;
  bool header = false;
  for (const auto& [lineNo, raw] : lines) {
    const std::string_view line = trim(raw);
    if (line.empty() || line[0] == ';') continue;
    if (!header) {
      if (line != "REGEDIT4") parseError(lineNo, "the file does not start with REGEDIT4");
      header = true;
      continue;
    }
    if (line[0] == '[') {
      keys.push_back({keyLinePath(line, root, lineNo), {}});
      continue;
    }
    if (line[0] == '"' || line[0] == '@') {
      if (keys.empty()) parseError(lineNo, "value outside a key");
      keys.back().values.push_back(valueOfLine(line, lineNo));
      continue;
    }
    parseError(lineNo, "unexpected text");
  }
  if (!header && !trim(text).empty()) parseError(1, "the file does not start with REGEDIT4");
  return keys;
}

}  // namespace glx
