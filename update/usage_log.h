// The usage counters of one program run and "config.data", the file in the
// program folder that sums them over the runs since the last report.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>

namespace glx {

inline constexpr int kUsageEffectCount = 20;

struct UsageCounters {
  uint8_t firstReportFlag = 0;  // 1 while the installation has never reported
  int32_t testRunCount = 0;
  int32_t linkTestCount = 0;
  int32_t targetTestCount = 0;
  std::array<int32_t, kUsageEffectCount> effectTestCounts{};

  // Zeroes the counts; the flag is kept (the main window's creation).
  void reset();
};

// The "Config 1" setting, held by the main window's hidden label configOne
// and saved by its settings component.
class ConfigOneSetting {
 public:
  virtual ~ConfigOneSetting() = default;
  virtual std::string configOneText() const = 0;
  virtual void setConfigOneText(const std::string& text) = 0;
  // Saves the main window's settings now (SaveToRegistry).
  virtual void saveSettingsNow() = 0;
};

// The file's 26 lines (CR LF) for the counters.
std::string usageLogText(const UsageCounters& counters);

// Reads a usage log and merges it into counters: line 3 replaces the flag,
// lines 4 to 26 are added. All or nothing: on EInOutError or EConvertError
// the counters are unchanged.
void mergeUsageLog(const std::string& path, UsageCounters& counters);

class UsageLog {
 public:
  // path: programFolder + "config.data".
  UsageLog(UsageCounters& counters, std::string path, ConfigOneSetting& configOne)
      : m_counters(counters), m_path(std::move(path)), m_configOne(configOne) {}

  const std::string& path() const { return m_path; }
  UsageCounters& counters() { return m_counters; }

  // At start-up, after the settings were restored: the flag is 1 exactly
  // when "Config 1" reads "true".
  void takeFirstReportFlag();

  // Counts one browser test run, given the link and frame texts as the
  // controls show them. An effect index outside the catalogue counts the
  // run but no effect.
  void updateLogData(const std::string& linkText, const std::string& frameText, int effectIndex);

  // Merges this run's counts into the file and rewrites it. Never throws:
  // a closing window must not be held open by its statistics. A file that
  // cannot be read or does not parse is reported through the error sink,
  // moved aside to path + ".bad" and replaced by one with this run's counts;
  // a failed write is reported and leaves the old file as it was.
  // Returns whether the file was written.
  bool updateLogFile();

 private:
  UsageCounters& m_counters;
  std::string m_path;
  ConfigOneSetting& m_configOne;
};

}  // namespace glx
