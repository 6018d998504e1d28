// Helpers shared by the harnesses.
#pragma once
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace glx::fuzz {

// One in-memory regular file per process with a path, rewritten for every
// input: readers that take a path see the bytes without touching the disk.
class ScratchFile {
 public:
  static ScratchFile& instance() {
    static ScratchFile file;
    return file;
  }
  std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }
  void replace(const uint8_t* data, size_t size) {
    if (::ftruncate(m_fd, 0) != 0) std::abort();
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
  }
  void replace(const std::string& bytes) {
    replace(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }

 private:
  ScratchFile() {
    m_fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
    if (m_fd < 0) std::abort();
  }
  int m_fd = -1;
};

inline std::string bytesOf(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace glx::fuzz
