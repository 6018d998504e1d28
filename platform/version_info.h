// Reads the version resource (VS_VERSIONINFO) of a PE file, the way the
// program asks a browser's executable for its "FileVersion". Hostile input
// (truncated files, offsets past the end, looping resource directories,
// absurd sizes) gives size 0 or an empty text, never a crash or a hang.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace glx {

class VersionInfo {
 public:
  // The raw resource of the file at path; empty when the file cannot be
  // read, is not a PE file or has no version resource.
  static VersionInfo fromFile(const std::string& path);
  // From the bytes of a resource, for tests and callers that hold them.
  explicit VersionInfo(std::string block = {});

  // The resource's size in bytes; 0 when there is none.
  uint32_t size() const { return static_cast<uint32_t>(m_block.size()); }
  const std::string& bytes() const { return m_block; }

  // The first (language, code page) pair of "\VarFileInfo\Translation".
  std::optional<std::pair<uint16_t, uint16_t>> translation() const;

  // A string value such as "\StringFileInfo\040904E4\FileVersion" (key
  // names compared without regard to case), as 8-bit text: characters
  // beyond Latin-1 become "?". Empty when it is missing.
  std::optional<std::string> queryString(const std::string& subBlock) const;

  // The "FileVersion" string of the first translation; empty when either
  // is missing.
  std::string fileVersion() const;

 private:
  std::string m_block;
};

// "\StringFileInfo\" + language and code page as eight upper-case
// hexadecimal digits + "\" + name.
std::string stringFileInfoPath(uint16_t language, uint16_t codePage, const std::string& name);

// The size of the version resource of the file at path; 0 when none.
uint32_t fileVersionInfoSize(const std::string& path);

}  // namespace glx
