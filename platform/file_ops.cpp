#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/errors.h"

namespace glx {

namespace {

bool statOk(const std::string& path, struct stat* st) {
  return !path.empty() && ::stat(path.c_str(), st) == 0;
}

class Fd {
 public:
  explicit Fd(int fd) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }
  int release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool fileExists(const std::string& path) {
  struct stat st;
  return statOk(path, &st) && S_ISREG(st.st_mode);
}

bool folderExists(const std::string& path) {
  struct stat st;
  return statOk(path, &st) && S_ISDIR(st.st_mode);
}

bool pathExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool copyFileNoOverwrite(const std::string& source, const std::string& target) {
  if (!fileExists(source)) return false;
  Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return false;
  // O_EXCL is the fail-if-exists: an existing target is never touched.
  Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (out.get() < 0) return false;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || !writeAll(out.get(), buffer, static_cast<size_t>(n))) {
      // A half-written copy would be published as if complete.
      ::close(out.release());
      ::unlink(target.c_str());
      return false;
    }
    if (n == 0) break;
  }
  if (::close(out.release()) != 0) {
    ::unlink(target.c_str());
    return false;
  }
  return true;
}

void deleteFileQuiet(const std::string& path) {
  struct stat st;
  if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return;
  ::unlink(path.c_str());
}

void createFolder(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) throw inOutError(ENOENT);
  if (::mkdir(p.c_str(), 0755) == 0) return;
  const int err = errno;
  if (err == EEXIST && folderExists(p)) return;
  throw inOutError(err);
}

std::string linkTarget(const std::string& path) {
  std::string current = path;
  // As many links as the system itself follows before it gives up.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n < 0) throw inOutError(errno);
    if (static_cast<size_t>(n) >= target.size()) {
      // The link changed while it was read; read it again.
      continue;
    }
    target.resize(static_cast<size_t>(n));
    current = !target.empty() && target[0] == '/' ? target : folderOf(current) + target;
  }
  throw inOutError(ELOOP);
}

void writeFileAtomic(const std::string& path, const std::string& bytes) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  // Through a symbolic link the file it names is replaced, never the link,
  // and a replaced file keeps its permissions (a private file stays private).
  const std::string target = linkTarget(path);
  struct stat old;
  const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp%08llx",
                  static_cast<unsigned long long>(rng() & 0xFFFFFFFFull));
    temp = target + suffix;
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0644);
    if (fd < 0 && errno != EEXIST) throw inOutError(errno);
  }
  if (fd < 0) throw inOutError(EEXIST);
  Fd out(fd);
  if (replacing) {
    // The owner first: a change of owner may clear the set-id bits. Only
    // root may give a file away, so a failed owner change is no error.
    [[maybe_unused]] const int owned = ::fchown(out.get(), old.st_uid, old.st_gid);
    if (::fchmod(out.get(), old.st_mode & 07777) != 0) {
      const int err = errno;
      ::unlink(temp.c_str());
      throw inOutError(err);
    }
  }
  if (!writeAll(out.get(), bytes.data(), bytes.size()) || ::fsync(out.get()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    throw inOutError(err);
  }
  if (::close(out.release()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    throw inOutError(err);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    throw inOutError(err);
  }
}

std::string readFileBytes(const std::string& path) {
  if (folderExists(path)) throw inOutError(EACCES);
  Fd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) throw inOutError(errno);
  std::string bytes;
  // One allocation for a file of known size, not a doubling per read.
  struct stat st {};
  if (::fstat(in.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    bytes.reserve(static_cast<size_t>(st.st_size));
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw inOutError(errno);
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

FileReader::FileReader(const std::string& path) {
  // Non-blocking, so that opening a pipe cannot wait for a writer.
  m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (m_fd < 0) throw inOutError(errno);
  struct stat st;
  const int err = ::fstat(m_fd, &st) != 0 ? errno : (S_ISREG(st.st_mode) ? 0 : EACCES);
  if (err != 0) {
    ::close(m_fd);
    m_fd = -1;
    throw inOutError(err);
  }
}

FileReader::~FileReader() {
  if (m_fd >= 0) ::close(m_fd);
}

size_t FileReader::read(char* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::read(m_fd, buffer, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) throw inOutError(errno);
  }
}

std::string freeBadName(const std::string& file) {
  std::string candidate = file + ".bad";
  for (int n = 2; pathExists(candidate); ++n) candidate = file + ".bad" + std::to_string(n);
  return candidate;
}

std::string bareFileName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace glx
