#include "update/usage_log.h"

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

void mergeUsageLog(const std::string& path, UsageCounters& counters) {
  if (!pathExists(path)) return;
  const std::vector<std::string> lines = firstLines(readFileBytes(path), kLineCount);
  // Every value is converted before any is used, so a bad line leaves the
  // counters as they were.
  int values[kLineCount - 2];
  for (int i = 2; i < kLineCount; ++i) {
    const std::string text = static_cast<size_t>(i) < lines.size() ? lines[static_cast<size_t>(i)] : std::string();
    values[i - 2] = strToInt(text);
  }
  counters.firstReportFlag = static_cast<uint8_t>(values[0] & 0xFF);
  counters.testRunCount = wrappingAdd(counters.testRunCount, values[1]);
  counters.linkTestCount = wrappingAdd(counters.linkTestCount, values[2]);
  counters.targetTestCount = wrappingAdd(counters.targetTestCount, values[3]);
  for (int e = 0; e < kUsageEffectCount; ++e)
    counters.effectTestCounts[static_cast<size_t>(e)] =
        wrappingAdd(counters.effectTestCounts[static_cast<size_t>(e)], values[4 + e]);
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
  try {
    mergeUsageLog(m_path, m_counters);
  } catch (const Error& e) {
    errorSink().showError(e.what());
    // Keep the bad file for a look, out of the way of the next merge. If it
    // cannot be moved, the write below fails and says so.
    const std::string aside = m_path + ".bad";
    std::remove(aside.c_str());
    std::rename(m_path.c_str(), aside.c_str());
  }
  try {
    writeFileAtomic(m_path, usageLogText(m_counters));
  } catch (const Error& e) {
    errorSink().showError(e.what());
    return false;
  }
  if (m_counters.firstReportFlag == 1) {
    m_configOne.setConfigOneText("false");
    m_configOne.saveSettingsNow();
  }
  return true;
}

}  // namespace glx
