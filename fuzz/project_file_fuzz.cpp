// Project files from any bytes: reading gives a document or a reading
// error, and a document that was read saves and reads back to the same
// file text.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "document/project_file.h"
#include "platform/errors.h"

namespace {

// The bytes as a regular file with a path, without touching the disk.
class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size) {
    m_fd = ::memfd_create("project", MFD_CLOEXEC);
    if (m_fd < 0) std::abort();
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(m_fd, data + done, size - done);
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
  }
  ~MemoryFile() { ::close(m_fd); }
  std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }
  void replace(const std::string& bytes) {
    if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
      std::abort();
  }

 private:
  int m_fd = -1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryFile file(data, size);
  glx::AppletDocument first;
  try {
    first = glx::readProjectDocument(file.path());
  } catch (const glx::EConvertError&) {
    return 0;
  }
  const std::string saved = glx::projectFileText(first);
  file.replace(saved);
  const glx::AppletDocument second = glx::readProjectDocument(file.path());
  if (glx::projectFileText(second) != saved) std::abort();
  // The alternative HTML may change once: a CR alone becomes LF; one-line
  // fields lose a CR alone.
  auto oneLine = [](std::vector<std::string> texts) {
    for (std::string& text : texts) text = glx::oneLineText(text);
    return texts;
  };
  if (second.imageNames != oneLine(first.imageNames) || second.imagePaths != oneLine(first.imagePaths) ||
      second.link != glx::oneLineText(first.link))
    std::abort();
  return 0;
}
