#include "search/file_finder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/ascii.h"
#include "platform/error_sink.h"

namespace glx {

namespace {

constexpr size_t kChunk = 32767;

inline unsigned char foldAscii(unsigned char c) { return asciiLower(c); }

bool equalsIgnoringCase(const std::string& a, const std::string& b) { return asciiEqualNoCase(a, b); }

bool lessIgnoringCaseThenCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = foldAscii(static_cast<unsigned char>(a[i]));
    const unsigned char y = foldAscii(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

// "\" and "/" both separate; empty components vanish. The result has no
// leading or trailing "/".
std::string normalizeRelative(const std::string& path) {
  std::string out;
  std::string part;
  auto flush = [&] {
    if (part.empty()) return;
    if (!out.empty()) out += '/';
    out += part;
    part.clear();
  };
  for (char c : path) {
    if (c == '\\' || c == '/')
      flush();
    else
      part += c;
  }
  flush();
  return out;
}

std::string joinFolder(const std::string& root, const std::string& relative) {
  return relative.empty() ? root : root + "/" + relative;
}

int32_t dosDateTime(time_t when) {
  struct tm local;
  if (!localtime_r(&when, &local) || local.tm_year < 80) return (1 << 21) | (1 << 16);
  const uint32_t date = ((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday;
  const uint32_t tod = (local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2);
  return static_cast<int32_t>((date << 16) | tod);
}

int niceFor(TThreadPriority priority) {
  switch (priority) {
    case tpIdle: return 19;
    case tpLowest: return 10;
    case tpLower: return 5;
    case tpNormal: return 0;
    case tpHigher: return -5;
    case tpHighest: return -10;
    case tpTimeCritical: return -20;
  }
  return 0;
}

bool matchFrom(const unsigned char* n, const unsigned char* nEnd, const unsigned char* m,
               const unsigned char* mEnd) {
  // Greedy matching with one backtrack point: linear enough for file names.
  const unsigned char* starM = nullptr;
  const unsigned char* starN = nullptr;
  while (n < nEnd) {
    if (m < mEnd && (*m == '?' || foldAscii(*m) == foldAscii(*n))) {
      ++m;
      ++n;
    } else if (m < mEnd && *m == '*') {
      starM = ++m;
      starN = n;
    } else if (starM) {
      m = starM;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mEnd && *m == '*') ++m;
  return m == mEnd;
}

// The record of a hit from its status: a folder (or a link to one) has no
// size; names starting with "." are hidden; no write permission for anyone
// is read-only; a regular file carries the archive bit.
SearchRecord recordOf(const std::string& name, bool folder, const struct stat& st) {
  SearchRecord record;
  record.name = name;
  record.fullSize = folder ? 0 : static_cast<uint64_t>(st.st_size);
  record.size = static_cast<int32_t>(static_cast<uint32_t>(record.fullSize));
  record.modified = st.st_mtime;
  record.time = dosDateTime(st.st_mtime);
  if (folder) record.attr |= faDirectory;
  if (name[0] == '.') record.attr |= faHidden;
  if ((st.st_mode & 0222) == 0) record.attr |= faReadOnly;
  if (!folder && S_ISREG(st.st_mode)) record.attr |= faArchive;
  record.excludeAttr = 0;
  return record;
}

}  // namespace

bool matchesMask(const std::string& name, const std::string& mask) {
  if (mask == "*" || mask == "*.*") return true;
  const auto* n = reinterpret_cast<const unsigned char*>(name.data());
  const auto* m = reinterpret_cast<const unsigned char*>(mask.data());
  return matchFrom(n, n + name.size(), m, m + mask.size());
}

bool fileContainsText(const std::string& path, uint64_t size, const std::string& text,
                      bool caseSensitive, const std::atomic<bool>* stop) {
  const size_t length = text.size();
  if (length == 0 || size < length) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  // Chunks overlap by the text's length, so a chunk must be longer than the
  // text or the search would never advance.
  const size_t chunkSize = length < kChunk ? kChunk : length + kChunk;
  std::string buffer(chunkSize + 1, '\0');
  bool found = false;
  uint64_t position = 0;
  uint64_t remaining = size;
  bool first = true;
  while (remaining > 0 && !found) {
    if (stop && stop->load(std::memory_order_relaxed)) break;
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(remaining, chunkSize));
    if (!first) position = position >= length ? position - length : 0;
    first = false;
    size_t got = 0;
    while (got < chunk) {
      const ssize_t n = ::pread(fd, buffer.data() + got, chunk - got, static_cast<off_t>(position + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    position += got;
    remaining = chunk == remaining ? 0 : remaining - chunk + length;
    if (got < chunk) remaining = 0;  // the file shrank: search what there is
    if (!caseSensitive)
      for (size_t i = 0; i < got; ++i)
        buffer[i] = static_cast<char>(foldAscii(static_cast<unsigned char>(buffer[i])));
    if (got >= length && ::memmem(buffer.data(), got, text.data(), length) != nullptr) found = true;
  }
  ::close(fd);
  return found;
}

// What the search thread and the owning thread share: the stop flag and the
// hand-over of one event at a time.
struct FindChannel {
  std::mutex mutex;
  std::condition_variable delivered;
  std::atomic<bool> stop{false};
  bool dropped = false;    // the owner gave this search up: wake, deliver nothing
  uint64_t posted = 0;     // tickets handed out by the search thread
  uint64_t finished = 0;   // tickets the owning thread is done with
  QObject* receiver = nullptr;

  void finish(uint64_t ticket) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      finished = std::max(finished, ticket);
    }
    delivered.notify_all();
  }

  // Runs call on the owning thread and waits until it has returned, or
  // until the search is stopped or dropped.
  void deliver(std::function<void()> call) {
    if (stop.load()) return;
    uint64_t ticket;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (dropped) return;
      ticket = ++posted;
    }
    // Owned by the queued call; the channel outlives the thread object.
    std::shared_ptr<FindChannel> self = selfRef.lock();
    QMetaObject::invokeMethod(
        receiver,
        [self, ticket, call = std::move(call)] {
          bool run;
          {
            std::lock_guard<std::mutex> lock(self->mutex);
            run = !self->dropped && !self->stop.load();
          }
          if (run) runGuarded(call);
          self->finish(ticket);
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(mutex);
    delivered.wait(lock, [&] { return finished >= ticket || dropped; });
  }

  // Called by the owning thread: nothing more is delivered and a search
  // thread waiting for a delivery wakes at once.
  void drop() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      dropped = true;
      stop.store(true);
    }
    delivered.notify_all();
  }

  std::weak_ptr<FindChannel> selfRef;
};

// ---- TFindThread ----

TFindThread::~TFindThread() { terminateAndJoin(); }

bool TFindThread::waitingForDelivery() const {
  std::lock_guard<std::mutex> lock(m_channel->mutex);
  return m_channel->posted > m_channel->finished && !m_channel->dropped;
}

bool TFindThread::terminated() const { return m_channel->stop.load(std::memory_order_relaxed); }

void TFindThread::terminateAndJoin() {
  if (m_channel) m_channel->drop();
  if (m_thread.joinable()) m_thread.join();
}

void TFindThread::execute() {
  const int nice = niceFor(m_priority);
  if (nice != 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), nice);
  if (!m_caseSensitive)
    for (char& c : m_containingText) c = static_cast<char>(foldAscii(static_cast<unsigned char>(c)));
  for (char drive : m_drives) {
    if (terminated()) break;
    searchDrive(drive);
  }
  if (!terminated()) deliverCompleted();
}

void TFindThread::searchDrive(char drive) {
  if (!m_driveTable.has(drive)) return;  // no such drive: nothing to list
  m_drive = drive;
  m_driveRoot = m_driveTable.folder(drive);
  if (m_directories.empty()) {
    walkFolder(m_driveRoot);
    return;
  }
  for (const std::string& entry : m_directories) {
    if (terminated()) return;
    const auto colon = entry.find(':');
    if (colon == std::string::npos) {
      walkFolder(joinFolder(m_driveRoot, normalizeRelative(entry)));
    } else if (colon == 1) {
      if (foldAscii(static_cast<unsigned char>(entry[0])) == foldAscii(static_cast<unsigned char>(drive)))
        walkFolder(joinFolder(m_driveRoot, normalizeRelative(entry.substr(2))));
    }
  }
}

bool TFindThread::fileListAccepts(const std::string& folder, const std::string& name) const {
  if (m_files.empty()) return true;
  // The hit as the list may name it: bare, by full path, relative to its
  // drive, or with its drive letter ("C:/Tools/x.exe").
  const std::string full = (folder.empty() ? std::string() : folder.substr(1) + "/") + name;
  std::string relative = folder.size() > m_driveRoot.size() ? folder.substr(m_driveRoot.size() + 1) + "/" : "";
  relative += name;
  for (const std::string& entry : m_files) {
    if (equalsIgnoringCase(entry, name) || equalsIgnoringCase(entry, full) ||
        equalsIgnoringCase(entry, relative))
      return true;
    if (entry.size() > 3 && entry[1] == ':' && entry[2] == '/' &&
        foldAscii(static_cast<unsigned char>(entry[0])) == foldAscii(static_cast<unsigned char>(m_drive)) &&
        equalsIgnoringCase(entry.substr(3), relative))
      return true;
  }
  return false;
}

void TFindThread::walkFolder(const std::string& folder) {
  if (!folder.empty() && m_fence.excluded(folder)) return;
  m_currentDirectory = folder;
  if (m_onChangeDirectory) deliverChangeDirectory(folder);
  if (terminated()) return;

  const FolderListing listing = listFolder(folder);
  for (const FolderHit& hit : listing.hits) {
    if (terminated()) return;
    reportHit(folder, hit);
  }
  for (const std::string& name : listing.subfolders) {
    if (terminated()) return;
    walkFolder(folder + "/" + name);
  }
}

// Empty when the folder cannot be opened.
TFindThread::FolderListing TFindThread::listFolder(const std::string& folder) const {
  FolderListing listing;
  const std::string listPath = folder.empty() ? "/" : folder;
  const int fd = ::open(listPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return listing;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return listing;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
    }
    const bool isFolder = type == DT_DIR;
    const size_t length = std::strlen(name);
    const auto* n = reinterpret_cast<const unsigned char*>(name);
    if (m_matchAll || matchFrom(n, n + length, m_maskBegin, m_maskEnd)) {
      // A link to a folder is reported as the folder it stands for.
      bool folderHit = isFolder;
      if (type == DT_LNK) {
        struct stat target;
        folderHit = ::fstatat(fd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
      }
      listing.hits.push_back({std::string(name, length), folderHit});
    }
    // Hidden folders are not entered; links are never followed.
    if (isFolder && name[0] != '.') listing.subfolders.emplace_back(name, length);
  }
  ::closedir(dir);
  return listing;
}

// Delivers a hit the file list accepts and, when a text is sought, whose
// file holds it.
void TFindThread::reportHit(const std::string& folder, const FolderHit& hit) {
  if (!fileListAccepts(folder, hit.name)) return;
  const std::string path = folder + "/" + hit.name;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) return;
  const SearchRecord record = recordOf(hit.name, hit.folder, st);
  m_currentDirectory = folder;
  if (m_containingText.empty()) {
    deliverFound(folder, record);
  } else if (!hit.folder && S_ISREG(st.st_mode) && record.fullSize >= m_containingText.size()) {
    if (fileContainsText(path, record.fullSize, m_containingText, m_caseSensitive, &m_channel->stop))
      deliverFound(folder, record);
  }
}

// Each delivery carries its own copy of the handler: a handler may start a
// new search or destroy the finder, which frees this thread object while
// the handler is still running.
void TFindThread::deliverFound(const std::string& folder, const SearchRecord& record) {
  if (!m_onFileFound) return;
  m_channel->deliver([handler = m_onFileFound, sender = this, folder, record] { handler(*sender, folder, record); });
}

void TFindThread::deliverChangeDirectory(const std::string& folder) {
  m_channel->deliver([handler = m_onChangeDirectory, sender = this, folder] { handler(*sender, folder); });
}

void TFindThread::deliverCompleted() {
  if (!m_onCompleted) return;
  m_channel->deliver([handler = m_onCompleted, sender = this] { handler(*sender); });
}

// ---- TFileFinder ----

TFileFinder::TFileFinder() : m_receiver(std::make_unique<QObject>()) {}

TFileFinder::~TFileFinder() {
  // The thread must be gone before the receiver of its deliveries.
  m_thread.reset();
}

void TFileFinder::setDirectories(const std::vector<std::string>& folders) {
  std::vector<std::string> list;
  for (const std::string& f : folders)
    if (!f.empty()) list.push_back(f);
  std::sort(list.begin(), list.end(), lessIgnoringCaseThenCase);
  list.erase(std::unique(list.begin(), list.end()), list.end());
  m_directories = std::move(list);
}

void TFileFinder::setDrives(const std::string& drives) {
  std::string out;
  for (char c : drives) {
    const unsigned char u = static_cast<unsigned char>(c);
    const unsigned char upper = asciiUpper(u);
    if (upper >= 'A' && upper <= 'Z') out += static_cast<char>(upper);
  }
  m_drives = out;
}

DriveTable TFileFinder::driveTable() const { return m_driveTableSet ? m_driveTable : DriveTable::system(); }

std::string TFileFinder::GetFixedDrives() const {
  const DriveTable table = driveTable();
  std::string letters;
  for (char c = 'A'; c <= 'Z'; ++c)
    if (table.type(c) == DriveType::Fixed) letters += c;
  return letters;
}

void TFileFinder::Stop() {
  if (m_thread) m_thread->m_channel->stop.store(true);
}

void TFileFinder::Start() {
  if (m_started && m_thread) m_thread.reset();  // drops its pending deliveries, then joins

  std::unique_ptr<TFindThread> thread(new TFindThread());
  thread->m_onCompleted = OnCompleted;
  thread->m_onChangeDirectory = OnChangeDirectory;
  thread->m_onFileFound = OnFileFound;
  thread->m_fileMask = m_fileMask;
  thread->m_directories = m_directories;
  thread->m_drives = m_drives;
  for (const std::string& file : m_files) {
    // Leading separators go, so an entry names a path relative to a drive.
    std::string entry = file;
    for (char& c : entry)
      if (c == '\\') c = '/';
    const auto first = entry.find_first_not_of('/');
    if (first == std::string::npos) continue;
    thread->m_files.push_back(entry.substr(first));
  }
  thread->m_containingText = m_containingText;
  thread->m_caseSensitive = m_caseSensitive;
  thread->m_priority = m_threadPriority;
  thread->m_driveTable = driveTable();
  thread->m_fence = WalkFence::current();
  thread->m_matchAll = m_fileMask == "*" || m_fileMask == "*.*";
  thread->m_maskBegin = reinterpret_cast<const unsigned char*>(thread->m_fileMask.data());
  thread->m_maskEnd = thread->m_maskBegin + thread->m_fileMask.size();

  auto channel = std::make_shared<FindChannel>();
  channel->selfRef = channel;
  channel->receiver = m_receiver.get();
  thread->m_channel = channel;

  TFindThread* raw = thread.get();
  m_thread = std::move(thread);
  m_started = true;
  raw->m_thread = std::thread([raw] {
    raw->execute();
    raw->m_finished.store(true);
  });
}

}  // namespace glx
