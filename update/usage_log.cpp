#include "update/usage_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/error_sink.h"
#include "platform/errors.h"
#include "platform/file_ops.h"

namespace glx {

namespace {

constexpr int kLineCount = 26;

// Counts wrap instead of overflowing: a hand-edited file may hold any value.
int32_t wrappingAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Applies op to each pair of counts (the three counters and the twenty
// effects); the flag is left alone.
template <typename Op>
void eachCount(UsageCounters& a, const UsageCounters& b, Op op) {
  op(a.testRunCount, b.testRunCount);
  op(a.linkTestCount, b.linkTestCount);
  op(a.targetTestCount, b.targetTestCount);
  for (size_t e = 0; e < a.effectTestCounts.size(); ++e) op(a.effectTestCounts[e], b.effectTestCounts[e]);
}

void addCounts(UsageCounters& into, const UsageCounters& from) {
  eachCount(into, from, [](int32_t& a, int32_t b) { a = wrappingAdd(a, b); });
}

void subtractCounts(UsageCounters& from, const UsageCounters& taken) {
  eachCount(from, taken, [](int32_t& a, int32_t b) {
    a = static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
  });
}

// Whether every count of a is at least its count in b.
bool countsAtLeast(const UsageCounters& a, const UsageCounters& b) {
  bool atLeast = true;
  UsageCounters copy = a;
  eachCount(copy, b, [&atLeast](int32_t& x, int32_t y) { atLeast = atLeast && x >= y; });
  return atLeast;
}

bool noCounts(const UsageCounters& c) {
  bool none = true;
  UsageCounters copy = c;
  eachCount(copy, c, [&none](int32_t& x, int32_t) { none = none && x == 0; });
  return none;
}

// The first `count` lines of a text; a line ends at LF, a CR at its end is
// dropped. Lines beyond the end of the text are missing.
std::vector<std::string> firstLines(const std::string& text, size_t count) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (lines.size() < count && start < text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    if (end > start && text[end - 1] == '\r') --end;
    lines.push_back(text.substr(start, end - start));
    start = next;
  }
  return lines;
}

}  // namespace

void UsageCounters::reset() {
  testRunCount = 0;
  linkTestCount = 0;
  targetTestCount = 0;
  effectTestCounts.fill(0);
}

std::string usageLogText(const UsageCounters& c) {
  std::string out = "CONFIG DATA FOR GLIMMERAX\r\nPLEASE DO NOT ALTER THIS FILE\r\n";
  auto line = [&out](long long value) { out += std::to_string(value) + "\r\n"; };
  line(c.firstReportFlag);
  line(c.testRunCount);
  line(c.linkTestCount);
  line(c.targetTestCount);
  for (int32_t count : c.effectTestCounts) line(count);
  return out;
}

UsageLogFile readUsageLog(const std::string& path) {
  UsageLogFile file;
  if (!pathExists(path)) return file;
  std::string text;
  try {
    text = readFileBytes(path);
  } catch (const EInOutError& e) {
    throw EInOutError(e.code(), std::string(e.what()) + " (reading the usage log \"" + path + "\")");
  }
  const std::vector<std::string> lines = firstLines(text, kLineCount);
  int values[kLineCount - 2];
  for (int i = 2; i < kLineCount; ++i) {
    static const std::string kMissing;
    const std::string& line = static_cast<size_t>(i) < lines.size() ? lines[static_cast<size_t>(i)] : kMissing;
    try {
      values[i - 2] = strToInt(line);
    } catch (const EConvertError& e) {
      throw EConvertError(std::string(e.what()) + " (line " + std::to_string(i + 1) + " of the usage log \"" +
                          path + "\")");
    }
  }
  file.exists = true;
  UsageCounters& c = file.values;
  c.firstReportFlag = static_cast<uint8_t>(values[0] & 0xFF);
  c.testRunCount = values[1];
  c.linkTestCount = values[2];
  c.targetTestCount = values[3];
  for (int e = 0; e < kUsageEffectCount; ++e) c.effectTestCounts[static_cast<size_t>(e)] = values[4 + e];
  return file;
}

void mergeUsageLog(const std::string& path, UsageCounters& counters) {
  // Every value is converted before any is used, so a bad line leaves the
  // counters as they were.
  const UsageLogFile file = readUsageLog(path);
  if (!file.exists) return;
  counters.firstReportFlag = file.values.firstReportFlag;
  addCounts(counters, file.values);
}

UsageLogLock::UsageLogLock(const std::string& logPath) {
  m_fd = ::open((logPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (m_fd < 0) return;
  while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

UsageLogLock::~UsageLogLock() {
  if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
}

void UsageLog::takeFirstReportFlag() {
  m_counters.firstReportFlag = m_configOne.configOneText() == "true" ? 1 : 0;
}

void UsageLog::updateLogData(const std::string& linkText, const std::string& frameText, int effectIndex) {
  m_counters.testRunCount = wrappingAdd(m_counters.testRunCount, 1);
  if (!linkText.empty()) m_counters.linkTestCount = wrappingAdd(m_counters.linkTestCount, 1);
  if (!frameText.empty()) m_counters.targetTestCount = wrappingAdd(m_counters.targetTestCount, 1);
  if (effectIndex >= 0 && effectIndex < kUsageEffectCount) {
    auto& count = m_counters.effectTestCounts[static_cast<size_t>(effectIndex)];
    count = wrappingAdd(count, 1);
  }
}

bool UsageLog::updateLogFile() {
  UsageLogLock lock(m_path);
  UsageCounters total = m_counters;
  try {
    mergeUsageLog(m_path, total);
  } catch (const Error& e) {
    std::string message = e.what();
    // Keep the bad file for a look, out of the way of the next merge and of
    // any copy kept before. If it cannot be moved, the write below fails
    // and says so.
    const std::string aside = freeBadName(m_path);
    if (std::rename(m_path.c_str(), aside.c_str()) == 0) {
      message += " The damaged file was kept as \"" + aside + "\".";
    }
    errorSink().showError(message);
    total = m_counters;
  }
  try {
    writeFileAtomic(m_path, usageLogText(total));
  } catch (const Error& e) {
    errorSink().showError(std::string(e.what()) + " (writing the usage log \"" + m_path + "\")");
    return false;
  }
  // The file holds these counts now; what the counters keep is only what
  // comes after, so a second close adds nothing twice.
  m_counters = total;
  m_counters.reset();
  if (m_counters.firstReportFlag == 1) {
    m_configOne.setConfigOneText("false");
    runGuarded([this] { m_configOne.saveSettingsNow(); });
  }
  return true;
}

UsageLog::Report UsageLog::buildReport() const {
  Report report;
  report.unsaved = m_counters;
  {
    UsageLogLock lock(m_path);
    report.file = readUsageLog(m_path);
  }
  report.counts = report.unsaved;
  if (report.file.exists) {
    report.counts.firstReportFlag = report.file.values.firstReportFlag;
    addCounts(report.counts, report.file.values);
  }
  return report;
}

void UsageLog::reportAccepted(const Report& report) {
  subtractCounts(m_counters, report.unsaved);
  m_counters.firstReportFlag = 0;

  UsageLogLock lock(m_path);
  UsageLogFile now;
  try {
    now = readUsageLog(m_path);
  } catch (const Error&) {
    // Damaged since it was read for the report: it is no longer what was
    // sent, and the next close reports it and sets it aside.
    return;
  }
  if (!now.exists) return;
  UsageCounters left = now.values;
  // A file that grew since the report was built holds the reported counts
  // plus another copy's; one that did not was replaced meanwhile, and all
  // of it arrived after the report.
  if (countsAtLeast(now.values, report.file.values)) subtractCounts(left, report.file.values);
  left.firstReportFlag = 0;
  if (noCounts(left)) {
    if (::unlink(m_path.c_str()) != 0 && errno != ENOENT) {
      const EInOutError error = inOutError(errno);
      throw EInOutError(error.code(), std::string(error.what()) + " (deleting the usage log \"" + m_path + "\")");
    }
    return;
  }
  try {
    writeFileAtomic(m_path, usageLogText(left));
  } catch (const EInOutError& e) {
    throw EInOutError(e.code(), std::string(e.what()) + " (writing the usage log \"" + m_path + "\")");
  }
}

}  // namespace glx
