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

// A usage log as it was read: its values (line 3 as the flag, lines 4 to
// 26 as the counts); exists is false when there was no file.
struct UsageLogFile {
  bool exists = false;
  UsageCounters values;
};

// Reads a usage log. Throws EInOutError or EConvertError with the
// run-time's text followed by the file's name (and the line for a bad
// number).
UsageLogFile readUsageLog(const std::string& path);

// Reads a usage log and merges it into counters: line 3 replaces the flag,
// lines 4 to 26 are added. All or nothing: on EInOutError or EConvertError
// the counters are unchanged.
void mergeUsageLog(const std::string& path, UsageCounters& counters);

// An exclusive advisory lock on a usage log, held across each
// read-merge-write so that two running copies of the program never lose or
// double each other's counts: a lock file beside the log (path + ".lock"),
// never removed. Where the lock file cannot be made the log is used
// unlocked; its own read or write then reports the trouble.
class UsageLogLock {
 public:
  explicit UsageLogLock(const std::string& logPath);
  ~UsageLogLock();
  UsageLogLock(const UsageLogLock&) = delete;
  UsageLogLock& operator=(const UsageLogLock&) = delete;

 private:
  int m_fd = -1;
};

class UsageLog {
 public:
  // path: programFolder + "config.data".
  UsageLog(UsageCounters& counters, std::string path, ConfigOneSetting& configOne)
      : m_counters(counters), m_path(std::move(path)), m_configOne(configOne) {}

  const std::string& path() const { return m_path; }
  // The counts of this run that are not yet in the file (a close moves them
  // there), and the first-report flag.
  UsageCounters& counters() { return m_counters; }

  // At start-up, after the settings were restored: the flag is 1 exactly
  // when "Config 1" reads "true".
  void takeFirstReportFlag();

  // Counts one browser test run, given the link and frame texts as the
  // controls show them. An effect index outside the catalogue counts the
  // run but no effect.
  void updateLogData(const std::string& linkText, const std::string& frameText, int effectIndex);

  // Merges this run's counts into the file and rewrites it, under the
  // file's lock. Never throws: a closing window must not be held open by
  // its statistics. Counts once written are taken out of the counters, so
  // a repeated call never adds them again. A file that cannot be read or
  // does not parse is reported through the error sink, moved aside (to
  // path + ".bad", or a free name after it) and replaced by one with this
  // run's counts; a failed write is reported and leaves the old file and
  // the counters as they were. A failed save of the settings is reported
  // once per run by the settings. Returns whether the file was written.
  bool updateLogFile();

  // What the update check sends: the counters as they stood, the file as
  // it was read (under its lock), and their sum, the report's counts.
  struct Report {
    UsageCounters unsaved;
    UsageLogFile file;
    UsageCounters counts;
  };
  // Throws as readUsageLog does, leaving everything as it was.
  Report buildReport() const;

  // The report was accepted: exactly what it held is taken off. Runs
  // counted since it was built stay in the counters; counts that another
  // copy of the program added to the file meanwhile stay in the file (which
  // is deleted when nothing else is left). The flag becomes 0. Throws
  // EInOutError naming the file when it can be neither rewritten nor
  // deleted.
  void reportAccepted(const Report& report);

 private:
  UsageCounters& m_counters;
  std::string m_path;
  ConfigOneSetting& m_configOne;
};

}  // namespace glx
