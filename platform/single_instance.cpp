#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/xdg_folders.h"

namespace glx {

namespace {

// A hand-over is a project path: nothing longer is read.
constexpr size_t kMaxMessage = 64 * 1024;
constexpr char kTaken = '1';

bool socketAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  return true;
}

// The folder, made private when it is ours to make; false when it cannot
// be used: missing and not made, not a folder (a link is not followed), or
// another user's (in a shared temporary folder anyone may make it first).
bool makeFolder(const std::string& folder) {
  std::string path;
  size_t at = 0;
  while (at < folder.size()) {
    const size_t slash = folder.find('/', at + 1);
    path = folder.substr(0, slash == std::string::npos ? folder.size() : slash);
    at = slash == std::string::npos ? folder.size() : slash;
    if (path.empty()) continue;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  std::string last = folder;
  while (last.size() > 1 && last.back() == '/') last.pop_back();
  struct stat st;
  return ::lstat(last.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

struct SingleInstance::Connection {
  int fd = -1;
  std::string message;
  std::unique_ptr<QSocketNotifier> notifier;
  ~Connection() {
    notifier.reset();
    if (fd >= 0) ::close(fd);
  }
};

SingleInstance::SingleInstance(std::string folder) : m_folder(std::move(folder)) {
  if (!m_folder.empty() && m_folder.back() != '/') m_folder += '/';
}

SingleInstance::~SingleInstance() {
  stopServing();
  if (m_listenFd >= 0) {
    closeFd(m_listenFd);
    // A later start must not find a socket that nobody answers.
    ::unlink(socketPath().c_str());
  }
  closeFd(m_lockFd);
}

std::string SingleInstance::defaultFolder() { return xdgRuntimeDir() + "glimmerax/"; }

bool SingleInstance::acquire() {
  if (isRunningCopy()) return true;
  m_unguarded = false;
  sockaddr_un address;
  if (!makeFolder(m_folder) || !socketAddress(socketPath(), address)) {
    m_unguarded = true;
    return true;
  }
  m_lockFd = ::open(lockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (m_lockFd < 0) {
    m_unguarded = true;
    return true;
  }
  if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    closeFd(m_lockFd);
    m_unguarded = !held;
    return !held;
  }
  // Ours now: a socket file left by a copy that was killed goes.
  ::unlink(socketPath().c_str());
  m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(m_listenFd, 16) != 0) {
    // Still the only copy (the lock says so), only unreachable.
    closeFd(m_listenFd);
  }
  return true;
}

bool SingleInstance::handOver(const std::string& projectPath, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  sockaddr_un address;
  if (!socketAddress(socketPath(), address)) return false;
  while (clock.elapsed() < timeoutMs) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      closeFd(fd);
      // Not listening yet, or it has ended: perhaps the lock is free now.
      if (acquire() && isRunningCopy()) return false;
      ::poll(nullptr, 0, 50);
      continue;
    }
    // The message, then the end of it; the answer is one byte.
    size_t sent = 0;
    bool ok = true;
    while (ok && sent < projectPath.size()) {
      const ssize_t n = ::send(fd, projectPath.data() + sent, projectPath.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) sent += static_cast<size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
    char answer = 0;
    while (ok) {
      struct pollfd p = {fd, POLLIN, 0};
      const int left = timeoutMs - static_cast<int>(clock.elapsed());
      const int ready = ::poll(&p, 1, left > 0 ? left : 0);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) {
        ok = false;
        break;
      }
      const ssize_t n = ::recv(fd, &answer, 1, 0);
      if (n < 0 && errno == EINTR) continue;
      ok = n == 1 && answer == kTaken;
      break;
    }
    closeFd(fd);
    return ok;
  }
  return false;
}

void SingleInstance::serve(InstanceHost& host) {
  m_host = &host;
  if (m_listenFd < 0 || m_listenNotifier) return;
  m_listenNotifier = std::make_unique<QSocketNotifier>(m_listenFd, QSocketNotifier::Read);
  connect(m_listenNotifier.get(), &QSocketNotifier::activated, this, [this] { acceptConnections(); });
}

void SingleInstance::stopServing() {
  m_host = nullptr;
  m_connections.clear();
  m_listenNotifier.reset();
}

void SingleInstance::acceptConnections() {
  for (;;) {
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return;  // EAGAIN: none left
    }
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    connection->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    Connection* raw = connection.get();
    connect(connection->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { readConnection(raw); });
    m_connections.push_back(std::move(connection));
  }
}

void SingleInstance::readConnection(Connection* connection) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(connection->fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // more to come
    if (n < 0 || connection->message.size() + static_cast<size_t>(n) > kMaxMessage) {
      drop(connection);
      return;
    }
    if (n == 0) break;
    connection->message.append(buffer, static_cast<size_t>(n));
  }
  // The whole message: say it was taken, then hand it on.
  const std::string message = connection->message;
  ssize_t ignored = ::send(connection->fd, &kTaken, 1, MSG_NOSIGNAL);
  (void)ignored;
  drop(connection);
  // The host may ask the user (unsaved changes): not from inside a notifier.
  QTimer::singleShot(0, this, [this, message] {
    if (m_host) m_host->openFromSecondStart(message);
  });
}

void SingleInstance::drop(Connection* connection) {
  auto it = std::find_if(m_connections.begin(), m_connections.end(),
                         [connection](const auto& c) { return c.get() == connection; });
  if (it == m_connections.end()) return;
  (*it)->notifier->setEnabled(false);
  // Deleting a notifier from its own signal is not allowed: later.
  (*it)->notifier.release()->deleteLater();
  m_connections.erase(it);
}

}  // namespace glx
