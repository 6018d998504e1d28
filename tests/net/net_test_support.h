// Helpers of the network tests: a scripted host lookup (an unknown host, a
// lookup that never answers), a closed port and a status log.
#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "net/host_lookup.h"
#include "net/sock_client.h"
#include "tests/support/pump_until.h"
#include "tests/support/raised_text.h"

namespace glx::test {

class ScriptedHostLookup : public HostLookup {
 public:
  // Missing: start() throws, as the system lookup does when its module
  // cannot be loaded.
  enum class Mode { Unknown, Never, Loopback, Missing };
  explicit ScriptedHostLookup(Mode mode) : m_mode(mode) {}

  int start(const std::string& name, Done done) override;
  void abort(int id) override { aborted.insert(id); }

  std::vector<std::string> names;  // every name looked up, in order
  std::set<int> aborted;

 private:
  Mode m_mode;
  int m_next = 0;
  QObject m_context;
};

// A port on 127.0.0.1 where nothing listens.
uint16_t closedPort();

// Statuses reported through OnStatus.
// Detaches itself when it goes, even before the client.
struct StatusLog {
  explicit StatusLog(TSockClient& client);
  ~StatusLog();
  StatusLog(const StatusLog&) = delete;
  StatusLog& operator=(const StatusLog&) = delete;
  bool has(const std::string& text) const;
  std::vector<std::string> texts;

 private:
  TSockClient& m_client;
};

}  // namespace glx::test
