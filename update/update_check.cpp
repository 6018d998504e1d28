#include "update/update_check.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include <QScopedValueRollback>

#include "platform/ascii.h"
#include "platform/errors.h"
#include "platform/file_ops.h"

namespace glx {

namespace {

bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (asciiLower(text[i]) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::string usageLogValue(const UsageCounters& c) {
  std::string value = std::to_string(c.firstReportFlag) + std::to_string(c.testRunCount);
  value += "|" + std::to_string(c.linkTestCount);
  value += "|" + std::to_string(c.targetTestCount);
  value += "|";
  for (const int32_t count : c.effectTestCounts) value += std::to_string(count) + "|";
  return value;
}

std::string downloadAddress(const std::string& body) {
  size_t begin = 0;
  size_t end = body.size();
  while (begin < end && isBlank(static_cast<unsigned char>(body[begin]))) ++begin;
  while (end > begin && isBlank(static_cast<unsigned char>(body[end - 1]))) --end;
  const std::string address = body.substr(begin, end - begin);
  const bool web = startsWithNoCase(address, "http://") || startsWithNoCase(address, "https://");
  if (!web) return {};
  // One address, nothing else: no blanks, control bytes or line breaks inside.
  for (const char ch : address) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= ' ' || c == 0x7F) return {};
  }
  const size_t schemeEnd = address.find("://") + 3;
  if (schemeEnd >= address.size() || address[schemeEnd] == '/') return {};
  return address;
}

std::string monthText(int month) { return std::to_string(month); }

bool monthlyReminder(std::string& configThree, const std::string& currentMonthText) {
  if (currentMonthText == configThree) return false;
  const bool show = configThree != "0";
  configThree = currentMonthText;
  return show;
}

UpdateCheck::UpdateCheck(UsageLog& usageLog, ConfigOneSetting& configOne, UserDialogs& dialogs, Shell& shell,
                         std::string serverHost, std::shared_ptr<HostLookup> lookup)
    : m_usageLog(usageLog),
      m_configOne(configOne),
      m_dialogs(dialogs),
      m_shell(shell),
      m_serverHost(std::move(serverHost)),
      m_http(std::move(lookup)) {
  m_http.Port = 0;
  m_http.ReportLevel = 0;
  m_http.ProxyPort = 0;
  m_http.TimeOut = 0;
  m_http.MaxBodySize = kMaxUpdateAnswer;
  m_http.ReceiveTimeOut = kUpdateSilenceLimit;
}

void UpdateCheck::cancel() {
  if (!m_running) return;
  m_canceled = true;
  m_http.Abort();
}

void UpdateCheck::get(const std::string& path) {
  if (m_canceled) throw EAbortError("Operation aborted");
  try {
    m_http.Get("http://" + m_serverHost + path);
  } catch (const ESockError&) {
    if (m_http.ReceiveTimedOut()) throw Error("The update server did not answer.");
    if (!m_http.BodyTooLarge()) throw;
    throw Error("The update check failed: the server's answer is larger than 1 MiB.");
  }
  m_http.Disconnect();
  if (m_canceled) throw EAbortError("Operation aborted");
  // A connection that ended without a status line, or a reply cut off
  // before its end, is no answer at all.
  const int reply = m_http.ReplyNumber();
  if (reply < 100 || !m_http.ReplyComplete()) {
    throw Error("The update check failed: the server did not answer.");
  }
  if (reply > 399) throw Error("The update check failed: the server answered " + std::to_string(reply) + ".");
}

bool UpdateCheck::run(const ProxyChoice& proxy) {
  if (m_running) return false;
  const QScopedValueRollback running(m_running, true);
  m_canceled = false;
  try {
    // The report is built from the counters plus the file, both untouched,
    // so a failure anywhere leaves nothing counted twice.
    const UsageLog::Report report = m_usageLog.buildReport();

    m_http.InputFileMode = false;
    m_http.OutputFileMode = false;
    m_http.ReportLevel = 2;
    if (proxy.useProxy) {
      // A bad port is an error before anything is sent.
      const int port = strToInt(proxy.portText);
      checkPortNumber(port, proxy.portText);
      m_http.Proxy = proxy.server;
      m_http.ProxyPort = port;
    } else {
      m_http.Proxy.clear();
      m_http.ProxyPort = 0;
    }

    get(kVersionQuery);
    const std::string body = m_http.Body;
    if (body.compare(0, 4, "true") == 0 && body.size() >= 4) {
      m_dialogs.showMessage("You have the latest version of this program. No update is necessary.");
    } else {
      const std::string address = downloadAddress(body);
      if (!address.empty()) {
        m_dialogs.showMessage("An updated version is available. Please download it from the following web site.");
        m_shell.open(address);
      } else {
        // Nothing opens, so no web site may be promised.
        m_dialogs.showMessage(std::string("An updated version is available, but the server's answer held no "
                                          "usable web address. Please look for it on ") +
                              kMakerWebSite + ".");
      }
    }

    get(std::string(kUsageReport) + usageLogValue(report.counts));

    // Reported: exactly what was sent is done with; runs counted while the
    // server was asked are kept.
    m_usageLog.reportAccepted(report);
    if (report.counts.firstReportFlag == 1) {
      m_configOne.setConfigOneText("false");
      m_configOne.saveSettingsNow();
    }
    return true;
  } catch (const EAbortError&) {
    if (m_canceled) return false;
    throw;
  }
}

}  // namespace glx
