#include "publish/page_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/ascii.h"
#include "platform/errors.h"

namespace glx {

namespace {

// A request head larger than this is no browser's.
constexpr size_t kMaxHead = 16 * 1024;
// A connection that sends no complete request in this time is dropped, so a
// browser's idle speculative connection never holds a slot for long.
constexpr auto kIdleLimit = std::chrono::seconds(10);
constexpr size_t kMaxConnections = 64;

std::string contentType(const std::string& name) {
  const std::string lower = asciiLowered(name);
  auto endsWith = [&](const char* suffix) {
    const size_t n = std::strlen(suffix);
    return lower.size() >= n && lower.compare(lower.size() - n, n, suffix) == 0;
  };
  // No charset for pages: the page declares the one that matches its bytes.
  if (endsWith(".html") || endsWith(".htm")) return "text/html";
  if (endsWith(".js")) return "text/javascript";
  if (endsWith(".gif")) return "image/gif";
  if (endsWith(".jpg") || endsWith(".jpeg") || endsWith(".jpe")) return "image/jpeg";
  return "application/octet-stream";
}

std::string status(int code, const char* reason, const std::string& extra = "", const std::string& body = "") {
  std::string out = "HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\n";
  out += extra;
  out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  out += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";
  return out + body;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The decoded file name of a request target, or "" when it names nothing
// that may be served.
std::string fileNameOf(std::string target) {
  const size_t cut = target.find_first_of("?#");
  if (cut != std::string::npos) target.resize(cut);
  if (target.size() < 2 || target[0] != '/') return "";
  std::string name;
  for (size_t i = 1; i < target.size(); ++i) {
    char c = target[i];
    if (c == '%') {
      if (i + 2 >= target.size()) return "";
      const int hi = hexValue(target[i + 1]), lo = hexValue(target[i + 2]);
      if (hi < 0 || lo < 0) return "";
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    }
    if (c == '/' || c == '\0') return "";
    name += c;
  }
  // Hidden files and "." or ".." are never the page's.
  if (name.empty() || name[0] == '.') return "";
  return name;
}

struct Connection {
  int fd = -1;
  std::string in;
  std::string out;
  size_t sent = 0;
  bool answered = false;
  std::chrono::steady_clock::time_point since;
};

}  // namespace

PageServer::PageServer(std::string folder) : m_folder(std::move(folder)) {
  if (!m_folder.empty() && m_folder.back() != '/') m_folder += '/';
}

PageServer::~PageServer() {
  if (m_thread.joinable()) {
    const char stop = 1;
    (void)!::write(m_wake[1], &stop, 1);
    m_thread.join();
  }
  if (m_listener >= 0) ::close(m_listener);
  for (int fd : m_wake)
    if (fd >= 0) ::close(fd);
}

void PageServer::start() {
  if (m_thread.joinable()) return;
  auto fail = [](const char* what) {
    throw Error(std::string("The test page server could not start: ") + what + ": " + std::strerror(errno));
  };
  m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_listener < 0) fail("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fail("bind");
  if (::listen(m_listener, 32) != 0) fail("listen");
  socklen_t length = sizeof address;
  if (::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) fail("getsockname");
  m_port = ntohs(address.sin_port);
  if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) fail("pipe");
  m_thread = std::thread([this] { serve(); });
}

std::string PageServer::addressOf(const std::string& fileName) const {
  static const char hex[] = "0123456789ABCDEF";
  std::string out = "http://127.0.0.1:" + std::to_string(m_port) + "/";
  for (unsigned char c : fileName) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string PageServer::answer(const std::string& request) const {
  const size_t lineEnd = request.find("\r\n");
  const std::string line = request.substr(0, lineEnd);
  const size_t sp1 = line.find(' ');
  const size_t sp2 = sp1 == std::string::npos ? std::string::npos : line.find(' ', sp1 + 1);
  if (sp2 == std::string::npos) return status(400, "Bad Request");
  const std::string method = line.substr(0, sp1);
  const std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  if (method != "GET" && method != "HEAD") return status(405, "Method Not Allowed", "Allow: GET, HEAD\r\n");

  // The one Host that names this server; anything else came through a name
  // that only happens to resolve here.
  std::string host;
  size_t at = lineEnd == std::string::npos ? request.size() : lineEnd + 2;
  while (at < request.size()) {
    size_t end = request.find("\r\n", at);
    if (end == std::string::npos) end = request.size();
    const std::string header = request.substr(at, end - at);
    const size_t colon = header.find(':');
    if (colon != std::string::npos && asciiEqualNoCase(header.substr(0, colon), "host")) {
      host = header.substr(colon + 1);
      while (!host.empty() && (host.front() == ' ' || host.front() == '\t')) host.erase(0, 1);
      while (!host.empty() && (host.back() == ' ' || host.back() == '\t')) host.pop_back();
    }
    at = end + 2;
  }
  if (host != "127.0.0.1:" + std::to_string(m_port)) return status(403, "Forbidden");

  const std::string name = fileNameOf(target);
  if (name.empty()) return status(404, "Not Found");
  const int fd = ::open((m_folder + name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return status(404, "Not Found");
  struct stat info {};
  std::string body;
  bool readable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (readable) {
    body.resize(static_cast<size_t>(info.st_size));
    size_t got = 0;
    while (got < body.size()) {
      const ssize_t n = ::read(fd, body.data() + got, body.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    body.resize(got);
  }
  ::close(fd);
  if (!readable) return status(404, "Not Found");
  std::string head = status(200, "OK", "Content-Type: " + contentType(name) + "\r\n", body);
  if (method == "HEAD") head.resize(head.size() - body.size());
  return head;
}

void PageServer::serve() {
  std::vector<Connection> connections;
  for (;;) {
    std::vector<pollfd> watched;
    watched.push_back({m_wake[0], POLLIN, 0});
    watched.push_back({m_listener, static_cast<short>(connections.size() < kMaxConnections ? POLLIN : 0), 0});
    for (const Connection& c : connections)
      watched.push_back({c.fd, static_cast<short>(c.answered ? POLLOUT : POLLIN), 0});
    if (::poll(watched.data(), watched.size(), 1000) < 0 && errno != EINTR) break;
    if (watched[0].revents) break;

    if (watched[1].revents & POLLIN) {
      for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) break;
        connections.push_back({fd, {}, {}, 0, false, std::chrono::steady_clock::now()});
        if (connections.size() >= kMaxConnections) break;
      }
    }

    const auto now = std::chrono::steady_clock::now();
    for (size_t i = 0; i < connections.size(); ++i) {
      Connection& c = connections[i];
      const short events = i + 2 < watched.size() && watched[i + 2].fd == c.fd ? watched[i + 2].revents : 0;
      bool done = false;
      if (!c.answered && (events & (POLLIN | POLLHUP | POLLERR))) {
        char buffer[4096];
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
          done = !(n < 0 && (errno == EAGAIN || errno == EINTR));
        } else {
          c.in.append(buffer, static_cast<size_t>(n));
          const size_t end = c.in.find("\r\n\r\n");
          if (end != std::string::npos) {
            c.out = answer(c.in.substr(0, end + 2));
            c.answered = true;
          } else if (c.in.size() > kMaxHead) {
            c.out = status(431, "Request Header Fields Too Large");
            c.answered = true;
          }
        }
      } else if (c.answered && (events & (POLLOUT | POLLHUP | POLLERR))) {
        const ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
        if (n > 0) c.sent += static_cast<size_t>(n);
        else if (!(n < 0 && (errno == EAGAIN || errno == EINTR))) done = true;
        if (c.sent == c.out.size()) done = true;
      }
      if (!c.answered && now - c.since > kIdleLimit) done = true;
      if (done) {
        ::close(c.fd);
        c.fd = -1;
      }
    }
    std::erase_if(connections, [](const Connection& c) { return c.fd < 0; });
  }
  for (Connection& c : connections) ::close(c.fd);
}

}  // namespace glx
