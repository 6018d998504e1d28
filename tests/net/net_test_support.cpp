#include "tests/net/net_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>

#include "platform/errors.h"

namespace glx::test {

int ScriptedHostLookup::start(const std::string& name, Done done) {
  names.push_back(name);
  if (m_mode == Mode::Missing) throw Error(std::string(kHostLookupMissingMessage) + "no module");
  const int id = ++m_next;
  if (m_mode == Mode::Never) return id;
  const Mode mode = m_mode;
  QTimer::singleShot(0, &m_context, [this, id, mode, done] {
    if (aborted.count(id)) return;
    if (mode == Mode::Unknown) {
      done(11001, 0);
    } else {
      done(0, htonl(INADDR_LOOPBACK));
    }
  });
  return id;
}

uint16_t closedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len);
  ::close(fd);
  return ntohs(address.sin_port);
}

StatusLog::StatusLog(TSockClient& client) : m_client(client) {
  client.OnStatus = [this](TSockClient&, const std::string& text) { texts.push_back(text); };
}

StatusLog::~StatusLog() { m_client.OnStatus = nullptr; }

bool StatusLog::has(const std::string& text) const {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

}  // namespace glx::test
