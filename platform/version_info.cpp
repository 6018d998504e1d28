#include "platform/version_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/ascii.h"

namespace glx {

namespace {

constexpr uint32_t kResourceTypeVersion = 16;
// A version resource's own length field is 16 bits; anything claiming far
// more than that is not one.
constexpr uint32_t kMaxResourceSize = 1 << 20;

class PeFile {
 public:
  explicit PeFile(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st;
    if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
      ::close(m_fd);
      m_fd = -1;
    }
    if (m_fd >= 0) m_size = static_cast<uint64_t>(st.st_size);
  }
  ~PeFile() {
    if (m_fd >= 0) ::close(m_fd);
  }
  PeFile(const PeFile&) = delete;
  PeFile& operator=(const PeFile&) = delete;

  bool open() const { return m_fd >= 0; }

  // Exactly length bytes at offset, or nothing.
  std::optional<std::string> read(uint64_t offset, uint64_t length) const {
    if (m_fd < 0 || offset > m_size || length > m_size - offset) return std::nullopt;
    std::string bytes(static_cast<size_t>(length), '\0');
    size_t got = 0;
    while (got < length) {
      const ssize_t n = ::pread(m_fd, bytes.data() + got, length - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return std::nullopt;
      got += static_cast<size_t>(n);
    }
    return bytes;
  }
  std::optional<uint32_t> u32(uint64_t offset) const {
    auto b = read(offset, 4);
    if (!b) return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(b->data());
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }
  std::optional<uint16_t> u16(uint64_t offset) const {
    auto b = read(offset, 2);
    if (!b) return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(b->data());
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
  }

 private:
  int m_fd = -1;
  uint64_t m_size = 0;
};

uint16_t le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}
uint32_t le32(const std::string& b, size_t at) {
  return le16(b, at) | (static_cast<uint32_t>(le16(b, at + 2)) << 16);
}

struct Section {
  uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

// Maps an address of the loaded image to a file offset inside the section's
// stored bytes; none when no section holds length bytes at rva.
std::optional<uint64_t> rvaToOffset(const std::vector<Section>& sections, uint32_t rva, uint64_t length) {
  for (const Section& s : sections) {
    if (rva < s.virtualAddress) continue;
    const uint64_t delta = rva - s.virtualAddress;
    if (delta + length <= s.rawSize) return uint64_t(s.rawOffset) + delta;
  }
  return std::nullopt;
}

std::string readVersionResource(const std::string& path) {
  PeFile file(path);
  if (!file.open()) return {};
  auto mz = file.read(0, 2);
  if (!mz || *mz != "MZ") return {};
  auto peOffset = file.u32(0x3C);
  if (!peOffset) return {};
  auto signature = file.read(*peOffset, 4);
  if (!signature || *signature != std::string("PE\0\0", 4)) return {};
  auto coff = file.read(uint64_t(*peOffset) + 4, 20);
  if (!coff) return {};
  const uint16_t sectionCount = le16(*coff, 2);
  const uint16_t optionalSize = le16(*coff, 16);
  const uint64_t optionalAt = uint64_t(*peOffset) + 24;
  auto optional = file.read(optionalAt, optionalSize);
  if (!optional || optionalSize < 2) return {};
  const uint16_t magic = le16(*optional, 0);
  size_t countAt;
  if (magic == 0x10b)
    countAt = 92;
  else if (magic == 0x20b)
    countAt = 108;
  else
    return {};
  if (countAt + 4 + 3 * 8 > optionalSize) return {};
  if (le32(*optional, countAt) < 3) return {};
  const uint32_t resourceRva = le32(*optional, countAt + 4 + 2 * 8);
  if (resourceRva == 0) return {};

  std::vector<Section> sections;
  auto table = file.read(optionalAt + optionalSize, uint64_t(sectionCount) * 40);
  if (!table) return {};
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const size_t at = size_t(i) * 40;
    sections.push_back({le32(*table, at + 12), le32(*table, at + 8), le32(*table, at + 20), le32(*table, at + 16)});
  }
  auto base = rvaToOffset(sections, resourceRva, 16);
  if (!base) return {};

  // Three fixed levels: type, name, language. A directory entry that points
  // anywhere else (even back to the root) is only ever read as the next
  // level, so a looping directory cannot make this walk run on.
  struct Entry {
    uint32_t name, offset;
  };
  auto entriesOf = [&](uint64_t dirOffset) -> std::vector<Entry> {
    auto header = file.read(dirOffset, 16);
    if (!header) return {};
    const uint32_t count = uint32_t(le16(*header, 12)) + le16(*header, 14);
    auto raw = file.read(dirOffset + 16, uint64_t(count) * 8);
    if (!raw) return {};
    std::vector<Entry> entries;
    for (uint32_t i = 0; i < count; ++i) entries.push_back({le32(*raw, i * 8), le32(*raw, i * 8 + 4)});
    return entries;
  };
  constexpr uint32_t kSubdirectory = 0x80000000u;
  std::optional<uint64_t> level2;
  for (const Entry& e : entriesOf(*base)) {
    if (e.name == kResourceTypeVersion && (e.offset & kSubdirectory)) {
      level2 = *base + (e.offset & ~kSubdirectory);
      break;
    }
  }
  if (!level2) return {};
  auto names = entriesOf(*level2);
  if (names.empty() || !(names[0].offset & kSubdirectory)) return {};
  auto languages = entriesOf(*base + (names[0].offset & ~kSubdirectory));
  if (languages.empty() || (languages[0].offset & kSubdirectory)) return {};
  auto dataEntry = file.read(*base + languages[0].offset, 16);
  if (!dataEntry) return {};
  const uint32_t dataRva = le32(*dataEntry, 0);
  const uint32_t dataSize = le32(*dataEntry, 4);
  if (dataSize < 6 || dataSize > kMaxResourceSize) return {};
  auto dataAt = rvaToOffset(sections, dataRva, dataSize);
  if (!dataAt) return {};
  auto data = file.read(*dataAt, dataSize);
  if (!data) return {};
  const uint16_t length = le16(*data, 0);
  if (length < 6) return {};
  if (length < data->size()) data->resize(length);
  // The root's key must be VS_VERSION_INFO.
  static const char kKey[] = "VS_VERSION_INFO";
  if (data->size() < 6 + sizeof kKey * 2) return {};
  for (size_t i = 0; i < sizeof kKey; ++i)
    if (le16(*data, 6 + i * 2) != static_cast<unsigned char>(kKey[i])) return {};
  return *data;
}

size_t align4(size_t n) { return (n + 3) & ~size_t(3); }

// One node of the version tree: [begin, end) within the block.
struct Node {
  size_t begin = 0, end = 0;
  uint16_t valueLength = 0, type = 0;
  std::u16string key;
  size_t valueAt = 0, childrenAt = 0;
};

std::optional<Node> nodeAt(const std::string& block, size_t at, size_t limit) {
  if (at + 6 > limit) return std::nullopt;
  Node node;
  node.begin = at;
  const uint16_t length = le16(block, at);
  if (length < 6 || at + length > limit) return std::nullopt;
  node.end = at + length;
  node.valueLength = le16(block, at + 2);
  node.type = le16(block, at + 4);
  size_t p = at + 6;
  for (;;) {
    if (p + 2 > node.end) return std::nullopt;
    const uint16_t c = le16(block, p);
    p += 2;
    if (c == 0) break;
    node.key += static_cast<char16_t>(c);
  }
  node.valueAt = std::min(align4(p), node.end);
  const size_t valueBytes = node.type == 1 ? size_t(node.valueLength) * 2 : node.valueLength;
  node.childrenAt = std::min(align4(std::min(node.valueAt + valueBytes, node.end)), node.end);
  return node;
}

char16_t foldKey(char16_t c) { return asciiLower(c); }

bool keyEquals(const std::u16string& key, const std::string& name) {
  if (key.size() != name.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (foldKey(key[i]) != foldKey(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

// The node a "\"-separated path names, starting at the root.
std::optional<Node> findNode(const std::string& block, const std::string& subBlock) {
  auto node = nodeAt(block, 0, block.size());
  if (!node) return std::nullopt;
  size_t start = 0;
  while (start <= subBlock.size()) {
    size_t slash = subBlock.find('\\', start);
    if (slash == std::string::npos) slash = subBlock.size();
    const std::string part = subBlock.substr(start, slash - start);
    start = slash + 1;
    if (part.empty()) continue;
    std::optional<Node> found;
    // Every child is at least 8 bytes long, so this walk always advances.
    for (size_t at = node->childrenAt; at + 6 <= node->end;) {
      auto child = nodeAt(block, at, node->end);
      if (!child) break;
      if (keyEquals(child->key, part)) {
        found = child;
        break;
      }
      at = align4(child->end);
    }
    if (!found) return std::nullopt;
    node = found;
  }
  return node;
}

}  // namespace

VersionInfo::VersionInfo(std::string block) : m_block(std::move(block)) {}

VersionInfo VersionInfo::fromFile(const std::string& path) { return VersionInfo(readVersionResource(path)); }

uint32_t fileVersionInfoSize(const std::string& path) { return VersionInfo::fromFile(path).size(); }

std::optional<std::pair<uint16_t, uint16_t>> VersionInfo::translation() const {
  auto node = findNode(m_block, "\\VarFileInfo\\Translation");
  if (!node || node->valueAt + 4 > node->end || node->valueLength < 4) return std::nullopt;
  return std::make_pair(le16(m_block, node->valueAt), le16(m_block, node->valueAt + 2));
}

std::optional<std::string> VersionInfo::queryString(const std::string& subBlock) const {
  auto node = findNode(m_block, subBlock);
  if (!node) return std::nullopt;
  std::string text;
  const size_t limit = std::min(node->end, node->valueAt + size_t(node->valueLength) * 2);
  for (size_t p = node->valueAt; p + 2 <= limit; p += 2) {
    const uint16_t c = le16(m_block, p);
    if (c == 0) break;
    if (c >= 0xDC00 && c <= 0xDFFF) continue;  // the second half of a pair already gave "?"
    text += c <= 0xFF ? static_cast<char>(c) : '?';
  }
  return text;
}

std::string VersionInfo::fileVersion() const {
  auto pair = translation();
  if (!pair) return {};
  return queryString(stringFileInfoPath(pair->first, pair->second, "FileVersion")).value_or("");
}

std::string stringFileInfoPath(uint16_t language, uint16_t codePage, const std::string& name) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%04X%04X", language, codePage);
  return std::string("\\StringFileInfo\\") + hex + "\\" + name;
}

}  // namespace glx
