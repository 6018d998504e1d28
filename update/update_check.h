// The update check: asks the maker's server whether a newer version exists,
// then reports the usage counts and, once the report was answered, takes
// exactly the reported counts off the usage log and the counters. Counts are
// reported once and never lost: any failure leaves the counters and the
// file as they were.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "net/http_client.h"
#include "platform/shell.h"
#include "platform/user_dialogs.h"
#include "update/usage_log.h"

namespace glx {

inline constexpr const char* kVersionQuery = "/servlet/GLXUpdate?version=20";
inline constexpr const char* kUsageReport = "/servlet/GLXLogUpdate20?log=";
inline constexpr const char* kDefaultUpdateServer = "update.tallowbrook.example";
// The maker's own web site, named when the server's answer is no address.
inline constexpr const char* kMakerWebSite = "http://www.tallowbrook.example/";
// The most an answer of the update server may hold; real ones are a few
// bytes, and an endless one must not take the machine's memory.
inline constexpr size_t kMaxUpdateAnswer = 1024 * 1024;
// How long the check waits without a byte from the server or the proxy
// before it gives up (each byte starts the time again), in ms.
inline constexpr int kUpdateSilenceLimit = 30000;

// The report's log value: flag and test runs without a separator, then
// "|" link runs, "|" target runs, "|" and every effect's count followed by
// "|".
std::string usageLogValue(const UsageCounters& counters);

// The version answer as a download address to hand to the shell: an
// "http://" or "https://" address, blanks and line ends around it removed;
// empty for anything else, which must never reach the shell.
std::string downloadAddress(const std::string& body);

// The month of a date as the reminder stores it: decimal, no leading zero.
std::string monthText(int month);

// The monthly reminder over "Config 3": returns whether to show the update
// window, and stores the new month text in configThree.
bool monthlyReminder(std::string& configThree, const std::string& currentMonthText);

struct ProxyChoice {
  bool useProxy = false;
  std::string server;
  std::string portText;
};

class UpdateCheck {
 public:
  // serverHost: the update server, optionally with ":port".
  UpdateCheck(UsageLog& usageLog, ConfigOneSetting& configOne, UserDialogs& dialogs, Shell& shell,
              std::string serverHost,
              std::shared_ptr<HostLookup> lookup = systemHostLookup());

  // The HTTP client of the check; its ReceiveTimeOut starts at
  // kUpdateSilenceLimit (tests shorten it).
  THttpClient& http() { return m_http; }
  const std::string& serverHost() const { return m_serverHost; }

  bool running() const { return m_running; }

  // Runs the whole check. Returns true when it completed (the window then
  // closes). A second call while one runs does nothing and returns false.
  // Failures propagate (the caller shows them), except a cancellation,
  // which returns false quietly.
  bool run(const ProxyChoice& proxy);

  // Ends a running check; its waits end and nothing more is sent.
  void cancel();

 private:
  void get(const std::string& path);

  UsageLog& m_usageLog;
  ConfigOneSetting& m_configOne;
  UserDialogs& m_dialogs;
  Shell& m_shell;
  std::string m_serverHost;
  THttpClient m_http;
  bool m_running = false;
  bool m_canceled = false;
};

}  // namespace glx
