// Builds small PE files with a version resource, for the tests of the
// version reader and of everything that names programs by their version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glx::test {

inline void put16(std::string& b, size_t at, uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2, '\0');
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
inline void put32(std::string& b, size_t at, uint32_t v) {
  put16(b, at, static_cast<uint16_t>(v & 0xFFFF));
  put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
inline void pad4(std::string& b) {
  while (b.size() % 4) b += '\0';
}

// UTF-16LE with a terminating zero; code points above 0xFFFF as pairs.
inline std::string utf16z(const std::u32string& text) {
  std::string out;
  auto unit = [&](uint32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>((u >> 8) & 0xFF);
  };
  for (char32_t c : text) {
    if (c > 0xFFFF) {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      unit(c);
    }
  }
  unit(0);
  return out;
}

// One node of a version tree.
inline std::string versionNode(const std::u32string& key, uint16_t type, const std::string& value,
                               uint16_t valueLength, const std::vector<std::string>& children) {
  std::string b(6, '\0');
  b += utf16z(key);
  pad4(b);
  b += value;
  for (const std::string& child : children) {
    pad4(b);
    b += child;
  }
  put16(b, 0, static_cast<uint16_t>(b.size()));
  put16(b, 2, valueLength);
  put16(b, 4, type);
  return b;
}

inline std::string versionString(const std::u32string& key, const std::u32string& text) {
  const std::string value = utf16z(text);
  return versionNode(key, 1, value, static_cast<uint16_t>(value.size() / 2), {});
}

struct VersionFixture {
  bool withTranslation = true;
  uint16_t language = 0x0409, codePage = 0x04E4;
  std::u32string tableKey = U"040904E4";  // the string table's key
  std::u32string fileVersion = U"4.75";
  bool withFileVersion = true;
};

// A VS_VERSIONINFO block.
inline std::string versionBlock(const VersionFixture& f) {
  std::string fixed(52, '\0');
  put32(fixed, 0, 0xFEEF04BD);
  std::vector<std::string> strings = {versionString(U"CompanyName", U"Somebody")};
  if (f.withFileVersion) strings.push_back(versionString(U"FileVersion", f.fileVersion));
  std::vector<std::string> children = {
      versionNode(U"StringFileInfo", 1, "", 0, {versionNode(f.tableKey, 1, "", 0, strings)})};
  if (f.withTranslation) {
    std::string pair;
    put16(pair, 0, f.language);
    put16(pair, 2, f.codePage);
    children.push_back(versionNode(U"VarFileInfo", 1, "", 0, {versionNode(U"Translation", 0, pair, 4, {})}));
  }
  return versionNode(U"VS_VERSION_INFO", 0, fixed, 52, children);
}

struct PeLayout {
  size_t peOffset = 0x40;
  size_t sectionTable = 0;   // file offset of the section table
  size_t resourceAt = 0x200; // file offset of the resource section
  size_t level2 = 0x18, level3 = 0x30, dataEntry = 0x48, block = 0x58;  // within it
};

// A PE32 (or PE32+) file whose only section holds the resource tree; a
// null block gives a file without version resource.
inline std::string peFile(const std::string* block, bool pe64 = false, PeLayout* layout = nullptr) {
  PeLayout l;
  std::string f(0x200, '\0');
  f[0] = 'M';
  f[1] = 'Z';
  put32(f, 0x3C, static_cast<uint32_t>(l.peOffset));
  f.replace(l.peOffset, 4, std::string("PE\0\0", 4));
  const size_t coff = l.peOffset + 4;
  put16(f, coff, pe64 ? 0x8664 : 0x14C);
  put16(f, coff + 2, 1);
  const uint16_t optionalSize = pe64 ? 240 : 224;
  put16(f, coff + 16, optionalSize);
  const size_t opt = coff + 20;
  put16(f, opt, pe64 ? 0x20B : 0x10B);
  const size_t countAt = opt + (pe64 ? 108 : 92);
  put32(f, countAt, 16);
  std::string rsrc(0x58, '\0');
  // root -> type 16 -> name 1 -> language 0x409 -> data
  put16(rsrc, 14, 1);
  put32(rsrc, 16, block ? 16 : 3);
  put32(rsrc, 20, 0x80000000u | 0x18);
  put16(rsrc, 0x18 + 14, 1);
  put32(rsrc, 0x18 + 16, 1);
  put32(rsrc, 0x18 + 20, 0x80000000u | 0x30);
  put16(rsrc, 0x30 + 14, 1);
  put32(rsrc, 0x30 + 16, 0x409);
  put32(rsrc, 0x30 + 20, 0x48);
  put32(rsrc, 0x48, 0x1000 + 0x58);
  put32(rsrc, 0x48 + 4, block ? static_cast<uint32_t>(block->size()) : 4);
  rsrc += block ? *block : std::string(4, '\0');
  pad4(rsrc);
  put32(f, countAt + 4 + 2 * 8, 0x1000);
  put32(f, countAt + 4 + 2 * 8 + 4, static_cast<uint32_t>(rsrc.size()));
  const size_t section = opt + optionalSize;
  l.sectionTable = section;
  f.replace(section, 5, ".rsrc");
  put32(f, section + 8, static_cast<uint32_t>(rsrc.size()));
  put32(f, section + 12, 0x1000);
  put32(f, section + 16, static_cast<uint32_t>(rsrc.size()));
  put32(f, section + 20, 0x200);
  f += rsrc;
  if (layout) *layout = l;
  return f;
}

inline std::string peWithVersion(const std::u32string& fileVersion) {
  VersionFixture fixture;
  fixture.fileVersion = fileVersion;
  const std::string block = versionBlock(fixture);
  return peFile(&block);
}

}  // namespace glx::test
