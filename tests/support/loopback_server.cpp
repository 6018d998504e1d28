#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <netinet/tcp.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace glx::test {

LoopbackServer::LoopbackServer(std::vector<Reply> script, bool repeatLast)
    : m_script(std::move(script)), m_repeatLast(repeatLast) {
  m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listen < 0) throw std::runtime_error("loopback server: no socket");
  const int one = 1;
  ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t len = sizeof address;
  if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(m_listen, 16) != 0 ||
      ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &len) != 0) {
    ::close(m_listen);
    throw std::runtime_error("loopback server: cannot listen");
  }
  m_port = ntohs(address.sin_port);
  m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  m_release = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (m_wake < 0 || m_release < 0) {
    ::close(m_listen);
    throw std::runtime_error("loopback server: no eventfd");
  }
  m_thread = std::thread([this] { run(); });
}

LoopbackServer::~LoopbackServer() {
  stop();
  ::close(m_listen);
  ::close(m_wake);
  ::close(m_release);
}

void LoopbackServer::release() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(m_release, &one, sizeof one);
}

bool LoopbackServer::waitRelease() {
  pollfd fds[2] = {{m_release, POLLIN, 0}, {m_wake, POLLIN, 0}};
  for (;;) {
    if (m_stop) return false;
    const int r = ::poll(fds, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || m_stop || fds[1].revents) return false;
    uint64_t count;
    if (::read(m_release, &count, sizeof count) == sizeof count) return true;
  }
}

void LoopbackServer::stop() {
  m_stop = true;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
  if (m_thread.joinable()) m_thread.join();
}

std::string LoopbackServer::hostPort() const { return "127.0.0.1:" + std::to_string(m_port); }

std::string LoopbackServer::url(const std::string& path) const {
  return "http://" + hostPort() + path;
}

size_t LoopbackServer::connections() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_received.size();
}

std::string LoopbackServer::received(size_t connection) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return connection < m_received.size() ? m_received[connection] : std::string();
}

bool LoopbackServer::waitReceived(size_t connection, size_t bytes, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return connection < m_received.size() &&
           (m_received[connection].size() >= bytes || m_ended[connection]);
  });
}

bool LoopbackServer::waitEnded(size_t connection, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return connection < m_ended.size() && m_ended[connection];
  });
}

// Waits until fd can be read; false when the server stops.
bool LoopbackServer::waitReadable(int fd) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake, POLLIN, 0}};
  for (;;) {
    if (m_stop) return false;
    const int r = ::poll(fds, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || m_stop || fds[1].revents) return false;
    if (fds[0].revents) return true;
  }
}

// Reads what is there into the record; false at the end of the stream.
bool LoopbackServer::readSome(int fd, size_t connection) {
  if (!waitReadable(fd)) return false;
  char buffer[65536];
  const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  if (n <= 0) return false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received[connection].append(buffer, static_cast<size_t>(n));
  }
  m_changed.notify_all();
  return true;
}

bool LoopbackServer::sendAll(int fd, const char* data, size_t size, size_t piece, int pauseMs) {
  size_t sent = 0;
  while (sent < size) {
    if (m_stop) return false;
    const size_t want = piece ? std::min(piece, size - sent) : size - sent;
    const ssize_t n = ::send(fd, data + sent, want, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      if (piece && pauseMs > 0) {
        // The pause ends early when the server stops.
        pollfd wake{m_wake, POLLIN, 0};
        if (::poll(&wake, 1, pauseMs) > 0) return false;
      }
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd fds[2] = {{fd, POLLOUT, 0}, {m_wake, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return false;
    if (fds[1].revents) return false;
  }
  return true;
}

void LoopbackServer::finish(size_t connection) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ended[connection] = true;
  }
  m_changed.notify_all();
}

void LoopbackServer::serve(int fd, const Reply* reply) {
  size_t connection;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    connection = m_received.size();
    m_received.emplace_back();
    m_ended.push_back(false);
  }
  m_changed.notify_all();
  if (!reply) {
    ::close(fd);
    finish(connection);
    return;
  }
  bool open = true;
  while (open && !reply->waitFor.empty() &&
         received(connection).find(reply->waitFor) == std::string::npos) {
    open = readSome(fd, connection);
  }
  if (reply->piece) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  if (open && reply->hold) open = waitRelease();
  if (open) open = sendAll(fd, reply->send.data(), reply->send.size(), reply->piece, reply->pauseMs);
  if (open && reply->body) {
    open = sendAll(fd, reply->body->data(), reply->body->size(), reply->piece, reply->pauseMs);
  }
  if (reply->after == After::Reset) {
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  } else {
    if (reply->after == After::Close) ::shutdown(fd, SHUT_WR);
    while (open) open = readSome(fd, connection);
  }
  ::close(fd);
  finish(connection);
}

void LoopbackServer::run() {
  size_t next = 0;
  while (!m_stop) {
    if (!waitReadable(m_listen)) break;
    const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const Reply* reply = nullptr;
    if (next < m_script.size()) {
      reply = &m_script[next];
    } else if (m_repeatLast && !m_script.empty()) {
      reply = &m_script.back();
    }
    ++next;
    serve(fd, reply);
  }
}

}  // namespace glx::test
