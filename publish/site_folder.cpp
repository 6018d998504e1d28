#include "publish/site_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>

#include "platform/file_ops.h"
#include "publish/picture_check.h"

namespace glx {

namespace {

std::string quotedPath(const std::string& path) { return quotedValue(path, '"'); }

std::string systemText(int err) { return std::strerror(err); }

bool writeAll(int fd, const std::string& bytes) {
  const char* data = bytes.data();
  size_t size = bytes.size();
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

// The folder without trailing "/" (the root stays "/").
std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string parentOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// What one run has made so far, undone unless the run completes.
class Rollback {
 public:
  ~Rollback() {
    if (m_done) return;
    for (const std::string& temp : m_temps) ::unlink(temp.c_str());
    for (auto it = m_createdFiles.rbegin(); it != m_createdFiles.rend(); ++it) ::unlink(it->c_str());
    for (auto it = m_createdFolders.rbegin(); it != m_createdFolders.rend(); ++it) ::rmdir(it->c_str());
  }
  void folderMade(const std::string& path) { m_createdFolders.push_back(path); }
  void tempMade(const std::string& path) { m_temps.insert(path); }
  void tempRenamed(const std::string& temp, const std::string& target, bool targetIsNew) {
    m_temps.erase(temp);
    if (targetIsNew) m_createdFiles.push_back(target);
  }
  void commit() { m_done = true; }

 private:
  bool m_done = false;
  std::set<std::string> m_temps;
  std::vector<std::string> m_createdFiles;
  std::vector<std::string> m_createdFolders;
};

// A new hidden file beside target, written and flushed; its path.
std::string writeTemporary(const std::string& folder, const std::string& name, const std::string& bytes,
                           Rollback& rollback) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  const std::string target = folder + "/" + name;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp%08llx", static_cast<unsigned long long>(rng() & 0xFFFFFFFFull));
    const std::string temp = folder + "/." + name + suffix;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      throw EPublishError("Cannot write " + quotedPath(target) + ": " + systemText(errno));
    }
    rollback.tempMade(temp);
    const bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int err = errno;
    if (::close(fd) != 0 && ok) throw EPublishError("Cannot write " + quotedPath(target) + ": " + systemText(errno));
    if (!ok) throw EPublishError("Cannot write " + quotedPath(target) + ": " + systemText(err));
    return temp;
  }
  throw EPublishError("Cannot write " + quotedPath(target) + ": " + systemText(EEXIST));
}

// Makes the missing folders up to and including path, each undone by the
// rollback unless the run completes.
void makeFolders(const std::string& path, Rollback& rollback) {
  std::vector<std::string> missing;
  for (std::string p = path; !pathExists(p); p = parentOf(p)) {
    missing.push_back(p);
    if (p == "/" || p == ".") break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::mkdir(it->c_str(), 0755) == 0) {
      rollback.folderMade(*it);
      continue;
    }
    const int err = errno;
    if (err != EEXIST || !folderExists(*it))
      throw EPublishError("Cannot create the folder " + quotedPath(*it) + ": " + systemText(err));
  }
}

// The exclusive lock of one folder's runs: a lock file beside the folder.
// The file goes when the lock does, so nothing stays behind; a run that
// finds, once it holds the lock, that its file was removed meanwhile (by the
// run before it) locks the new one instead.
class FolderLock {
 public:
  explicit FolderLock(const std::string& dir) : m_path(dir + ".lock") {
    for (;;) {
      m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (m_fd < 0) throw EPublishError("Cannot lock " + quotedPath(dir) + ": " + systemText(errno));
      int locked;
      while ((locked = ::flock(m_fd, LOCK_EX)) != 0 && errno == EINTR) {
      }
      if (locked != 0) {
        const int err = errno;
        ::close(m_fd);
        throw EPublishError("Cannot lock " + quotedPath(dir) + ": " + systemText(err));
      }
      struct stat held {}, named {};
      if (::fstat(m_fd, &held) == 0 && ::stat(m_path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
          held.st_ino == named.st_ino)
        return;
      ::close(m_fd);
    }
  }
  ~FolderLock() {
    // Removed while still held: a run waiting on it then sees it gone.
    ::unlink(m_path.c_str());
    ::close(m_fd);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  std::string m_path;
  int m_fd = -1;
};

}  // namespace

bool isPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::vector<std::string> writeSiteFolder(const std::string& folder, const std::vector<SiteFile>& files,
                                         bool replaceDiffering) {
  if (folder.empty()) throw EPublishError("No folder to publish into was named");
  const std::string dir = withoutTrailingSlashes(folder);
  // The paths shown to the user keep the folder as it was given.
  const std::string shownFolder = folder.back() == '/' ? folder : folder + "/";

  std::set<std::string> names;
  for (const SiteFile& file : files) {
    if (!isPlainFileName(file.name))
      throw EPublishError("The name " + quotedPath(file.name) + " is not a plain file name");
    if (!names.insert(file.name).second) throw EPublishError("Two files are named " + quotedPath(file.name));
  }

  for (const SiteFile& file : files)
    if (file.picture && !isPictureBytes(file.bytes)) throw EPublishError(notAPictureMessage(file.name));

  // The folder's parent is needed for the lock file; the lock comes before
  // anything of the folder is looked at.
  Rollback rollback;
  const std::string parent = parentOf(dir);
  if (dir != "/") makeFolders(parent, rollback);
  const FolderLock lock(dir);

  // What is there already decides what is written, before anything is.
  struct Pending {
    const SiteFile* file;
    bool targetIsNew;
  };
  std::vector<Pending> pending;
  std::vector<std::string> conflicts;
  const bool folderThere = pathExists(dir);
  if (folderThere && !folderExists(dir))
    throw EPublishError("Cannot publish into " + quotedPath(folder) + ": it is not a folder");
  for (const SiteFile& file : files) {
    const std::string target = dir + "/" + file.name;
    if (!folderThere || !pathExists(target)) {
      pending.push_back({&file, true});
      continue;
    }
    if (!fileExists(target))
      throw EPublishError("Cannot write " + quotedPath(shownFolder + file.name) + ": something other than a file is there");
    std::string present;
    try {
      present = readFileBytes(target);
    } catch (const Error& e) {
      throw EPublishError("Cannot read " + quotedPath(shownFolder + file.name) + ": " + e.what());
    }
    if (present == file.bytes) continue;
    if (!replaceDiffering) conflicts.push_back(shownFolder + file.name);
    pending.push_back({&file, false});
  }
  if (!conflicts.empty()) {
    std::string message;
    for (const std::string& path : conflicts) {
      if (!message.empty()) message += "\n";
      message += "The file " + quotedPath(path) + " already exists and differs from the one to be published";
    }
    throw EPublishConflict(message, conflicts);
  }

  if (!folderThere) makeFolders(dir, rollback);

  std::vector<std::string> temps;
  for (const Pending& p : pending) temps.push_back(writeTemporary(dir, p.file->name, p.file->bytes, rollback));

  std::vector<std::string> written;
  for (size_t i = 0; i < pending.size(); ++i) {
    const std::string target = dir + "/" + pending[i].file->name;
    if (::rename(temps[i].c_str(), target.c_str()) != 0)
      throw EPublishError("Cannot write " + quotedPath(shownFolder + pending[i].file->name) + ": " + systemText(errno));
    rollback.tempRenamed(temps[i], target, pending[i].targetIsNew);
    written.push_back(shownFolder + pending[i].file->name);
  }
  // The new names last beyond a crash once the folder itself is flushed.
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  rollback.commit();
  return written;
}

}  // namespace glx
