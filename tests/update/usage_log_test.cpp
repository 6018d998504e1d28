#include "update/usage_log.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

// "Config 1" as the main window's hidden label would hold it.
class ConfigOneLabel : public ConfigOneSetting {
 public:
  std::string configOneText() const override { return text; }
  void setConfigOneText(const std::string& t) override { text = t; }
  void saveSettingsNow() override {
    savedTexts.push_back(text);
    if (!saveFailure.empty()) throw Error(saveFailure);
  }
  std::string text = "true";
  std::vector<std::string> savedTexts;  // "Config 1" at each save
  std::string saveFailure;              // the save throws this when set
};

constexpr size_t kHeaderSize = sizeof("CONFIG DATA FOR GLIMMERAX\r\nPLEASE DO NOT ALTER THIS FILE\r\n") - 1;

std::string logFile(const std::vector<std::string>& values) {
  std::string out = "CONFIG DATA FOR GLIMMERAX\r\nPLEASE DO NOT ALTER THIS FILE\r\n";
  for (const auto& v : values) out += v + "\r\n";
  return out;
}

// flag, runs, links, targets, then the twenty effect counts.
std::vector<std::string> values(int flag, int runs, int links, int targets, std::vector<std::pair<int, int>> effects) {
  std::vector<std::string> v = {std::to_string(flag), std::to_string(runs), std::to_string(links),
                                std::to_string(targets)};
  std::vector<int> counts(20, 0);
  for (auto [e, n] : effects) counts[static_cast<size_t>(e)] = n;
  for (int n : counts) v.push_back(std::to_string(n));
  return v;
}

// One program run: the counters reset at the window's creation, the flag
// taken from "Config 1" after the settings were restored.
struct ProgramRun {
  ProgramRun(const std::string& folder, ConfigOneLabel& label) : log(counters, folder + "config.data", label) {
    counters.reset();
    log.takeFirstReportFlag();
  }
  UsageCounters counters;
  UsageLog log;
};

class UsageLogTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  ConfigOneLabel configOne;
  test::CollectingErrorSink errors;
};

TEST_F(UsageLogTest, FirstCloseAfterInstallation) {
  ProgramRun run(dir.path(), configOne);
  EXPECT_EQ(run.counters.firstReportFlag, 1);
  run.log.updateLogData("pages/a.html", "", 3);
  run.log.updateLogData("", "", 3);
  EXPECT_TRUE(run.log.updateLogFile());
  EXPECT_EQ(dir.read("config.data"), logFile(values(1, 2, 1, 0, {{3, 2}})));
  EXPECT_EQ(configOne.text, "false");
  EXPECT_EQ(configOne.savedTexts, std::vector<std::string>{"false"});
  EXPECT_TRUE(errors.errors.empty());
}

TEST_F(UsageLogTest, SecondRunAddsToTheUnreportedFile) {
  {
    ProgramRun first(dir.path(), configOne);
    first.log.updateLogData("pages/a.html", "", 3);
    first.log.updateLogData("", "", 3);
    first.log.updateLogFile();
  }
  ProgramRun second(dir.path(), configOne);
  EXPECT_EQ(second.counters.firstReportFlag, 0) << "Config 1 is false now";
  second.log.updateLogData("", "_top", 0);
  second.log.updateLogFile();
  EXPECT_EQ(dir.read("config.data"), logFile(values(1, 3, 1, 1, {{0, 1}, {3, 2}})));
  EXPECT_EQ(configOne.text, "false");
}

TEST_F(UsageLogTest, CloseWithoutTestRunRewritesUnchangedTotals) {
  const std::string before = logFile(values(0, 7, 2, 5, {{19, 7}}));
  dir.write("config.data", before);
  configOne.text = "false";
  ProgramRun run(dir.path(), configOne);
  EXPECT_TRUE(run.log.updateLogFile());
  EXPECT_EQ(dir.read("config.data"), before);
  EXPECT_TRUE(configOne.savedTexts.empty()) << "flag 0 saves nothing";
}

TEST_F(UsageLogTest, LineThreeOfTheFileWinsOverConfigOne) {
  dir.write("config.data", logFile(values(0, 1, 0, 0, {{2, 1}})));
  ProgramRun run(dir.path(), configOne);
  ASSERT_EQ(run.counters.firstReportFlag, 1);
  run.log.updateLogFile();
  EXPECT_EQ(run.counters.firstReportFlag, 0);
  EXPECT_EQ(configOne.text, "true") << "a file that says 0 leaves Config 1 unchanged";
  EXPECT_TRUE(configOne.savedTexts.empty());
  EXPECT_EQ(dir.read("config.data"), logFile(values(0, 1, 0, 0, {{2, 1}})));
}

TEST_F(UsageLogTest, FlagFromConfigOneIsExactText) {
  for (const std::string text : {"true", "True", "TRUE", " true", "false", ""}) {
    configOne.text = text;
    UsageCounters counters;
    UsageLog log(counters, dir / "config.data", configOne);
    log.takeFirstReportFlag();
    EXPECT_EQ(counters.firstReportFlag, text == "true" ? 1 : 0) << "'" << text << "'";
  }
}

TEST_F(UsageLogTest, ResetKeepsTheFlag) {
  UsageCounters c;
  c.firstReportFlag = 1;
  c.testRunCount = c.linkTestCount = c.targetTestCount = 4;
  c.effectTestCounts[5] = 9;
  c.reset();
  EXPECT_EQ(c.firstReportFlag, 1);
  EXPECT_EQ(c.testRunCount + c.linkTestCount + c.targetTestCount, 0);
  EXPECT_EQ(c.effectTestCounts[5], 0);
}

TEST_F(UsageLogTest, CountingOneRun) {
  struct Case {
    std::string link, frame;
    int effect;
    int links, targets, effectCount;
  };
  const Case cases[] = {
      {"", "", 0, 0, 0, 1},
      {"a.html", "_top", 19, 1, 1, 1},
      {" ", "  ", 4, 1, 1, 1},  // blanks are text
      {"", "x", -1, 0, 1, 0},   // no effect selected: the run counts, no effect does
      {"x", "", 20, 1, 0, 0},
  };
  for (const auto& c : cases) {
    UsageCounters counters;
    UsageLog log(counters, dir / "config.data", configOne);
    log.updateLogData(c.link, c.frame, c.effect);
    int effectTotal = 0;
    for (int n : counters.effectTestCounts) effectTotal += n;
    const std::string name = "link '" + c.link + "' frame '" + c.frame + "' effect " + std::to_string(c.effect);
    EXPECT_EQ(counters.testRunCount, 1) << name;
    EXPECT_EQ(counters.linkTestCount, c.links) << name;
    EXPECT_EQ(counters.targetTestCount, c.targets) << name;
    EXPECT_EQ(effectTotal, c.effectCount) << name;
    if (c.effectCount == 1) {
      EXPECT_EQ(counters.effectTestCounts[static_cast<size_t>(c.effect)], 1) << name;
    }
  }
}

TEST_F(UsageLogTest, AcceptedVariationsOfTheFile) {
  struct Case {
    const char* name;
    std::string file;
    uint8_t flag;
    int runs;
  };
  auto lf = [](std::string s) {
    std::string out;
    for (char c : s)
      if (c != '\r') out += c;
    return out;
  };
  std::vector<std::string> big = values(257, 5, 0, 0, {});
  std::vector<std::string> extra = values(1, 2, 0, 0, {});
  extra.push_back("not read");
  const Case cases[] = {
      {"edited header lines", "hello\r\n\r\n" + logFile(values(1, 4, 0, 0, {})).substr(kHeaderSize), 1, 4},
      {"LF line ends", lf(logFile(values(0, 6, 0, 0, {}))), 0, 6},
      {"flag keeps its low 8 bits", logFile(big), 1, 5},
      {"lines after line 26 are ignored", logFile(extra), 1, 2},
      {"blanks around a number", logFile(values(0, 0, 0, 0, {})).replace(kHeaderSize, 1, " 0 "), 0, 0},
  };
  for (const auto& c : cases) {
    dir.write("config.data", c.file);
    UsageCounters counters;
    counters.testRunCount = 1;
    ASSERT_NO_THROW(mergeUsageLog(dir / "config.data", counters)) << c.name;
    EXPECT_EQ(counters.firstReportFlag, c.flag) << c.name;
    EXPECT_EQ(counters.testRunCount, c.runs + 1) << c.name;
  }
}

// A bad file is reported once, kept aside, and replaced by this run's
// counts alone: the close goes on and nothing half-merged is written.
TEST_F(UsageLogTest, BadFileIsMovedAsideAndTheCloseGoesOn) {
  std::vector<std::string> badLine = values(1, 10, 3, 3, {{1, 10}});
  badLine[9] = "lots";  // line 12
  std::vector<std::string> hugeLine = values(1, 10, 3, 3, {{1, 10}});
  hugeLine[9] = std::string(50 << 20, '7');  // line 12, 50 MB
  std::vector<std::string> shortFile = values(1, 10, 3, 3, {{1, 10}});
  shortFile.resize(15);  // ends after line 17
  struct Case {
    const char* name;
    std::string content;  // empty: a folder stands there
    std::string error;
  };
  // The run-time's text, then where: the line and the file, and where the
  // damaged file went.
  const Case cases[] = {
      {"a line that is no integer", logFile(badLine), "'lots' is not a valid integer value (line 12 of"},
      {"a line of 50 MB", logFile(hugeLine),
       "'" + std::string(80, '7') + "...' (52,428,800 characters) is not a valid integer value (line 12 of"},
      {"a file that ends early", logFile(shortFile), "'' is not a valid integer value (line 18 of"},
      {"an empty file", "", "'' is not a valid integer value (line 3 of"},
      {"a flag that is no integer", logFile(values(0, 1, 1, 1, {})).replace(kHeaderSize, 1, "yes"),
       "'yes' is not a valid integer value (line 3 of"},
      {"a folder where the file should be", "", "File access denied (reading"},
  };
  for (const auto& c : cases) {
    test::TempDir folder;
    const bool isFolder = std::string(c.name).find("folder") != std::string::npos;
    if (isFolder) {
      folder.mkdir("config.data/inside");
    } else {
      folder.write("config.data", c.content);
    }
    ConfigOneLabel label;
    label.text = "false";
    ProgramRun run(folder.path(), label);
    run.log.updateLogData("x", "", 6);
    errors.errors.clear();
    EXPECT_TRUE(run.log.updateLogFile()) << c.name;
    const std::string expected = c.error + " the usage log \"" + (folder / "config.data") +
                                 "\") The damaged file was kept as \"" + (folder / "config.data.bad") + "\".";
    EXPECT_EQ(errors.errors, std::vector<std::string>{expected}) << c.name;
    EXPECT_EQ(folder.read("config.data"), logFile(values(0, 1, 1, 0, {{6, 1}}))) << c.name;
    if (isFolder) {
      EXPECT_TRUE(folderExists(folder / "config.data.bad")) << c.name;
    } else {
      EXPECT_EQ(folder.read("config.data.bad"), c.content) << c.name;
    }
    // The next close merges the fresh file normally.
    errors.errors.clear();
    run.log.updateLogData("y", "", 6);
    EXPECT_TRUE(run.log.updateLogFile()) << c.name;
    EXPECT_TRUE(errors.errors.empty()) << c.name;
    EXPECT_EQ(folder.read("config.data"), logFile(values(0, 2, 2, 0, {{6, 2}}))) << c.name;
  }
}

TEST_F(UsageLogTest, FailedWriteIsReportedAndChangesNoSetting) {
  ConfigOneLabel label;
  UsageCounters counters;
  // The program folder has vanished.
  UsageLog log(counters, dir / "gone/config.data", label);
  log.takeFirstReportFlag();
  log.updateLogData("", "", 0);
  EXPECT_FALSE(log.updateLogFile());
  EXPECT_EQ(errors.errors,
            std::vector<std::string>{"File not found (writing the usage log \"" + (dir / "gone/config.data") + "\")"});
  EXPECT_EQ(label.text, "true") << "nothing was written, so the installation is still unreported";
  EXPECT_TRUE(label.savedTexts.empty());
  EXPECT_FALSE(pathExists(dir / "gone"));
}

// A close that is repeated (the window stayed open, or closing is tried
// again) adds nothing twice: counts written to the file leave the counters.
// A settings save that fails on the way is reported and does not escape.
TEST_F(UsageLogTest, RepeatedClosesNeverAddTheSameCountsTwice) {
  struct Case {
    const char* name;
    std::string saveFailure;
  };
  const Case cases[] = {
      {"the settings save works", ""},
      {"the settings save fails", "Failed to set data for 'Config 1'"},
  };
  for (const auto& c : cases) {
    test::TempDir folder;
    folder.write("config.data", logFile(values(1, 5, 2, 1, {{4, 5}})));
    ConfigOneLabel label;
    label.text = "false";
    label.saveFailure = c.saveFailure;
    ProgramRun run(folder.path(), label);
    errors.errors.clear();
    bool written = false;
    EXPECT_NO_THROW(written = run.log.updateLogFile()) << c.name;
    EXPECT_TRUE(written) << c.name;
    EXPECT_NO_THROW(run.log.updateLogFile()) << c.name;
    EXPECT_NO_THROW(run.log.updateLogFile()) << c.name;
    EXPECT_EQ(folder.read("config.data"), logFile(values(1, 5, 2, 1, {{4, 5}}))) << c.name;
    EXPECT_EQ(run.counters.testRunCount, 0) << c.name;
    EXPECT_EQ(label.text, "false") << c.name;
    if (c.saveFailure.empty()) {
      EXPECT_TRUE(errors.errors.empty()) << c.name;
    } else {
      ASSERT_FALSE(errors.errors.empty()) << c.name;
      EXPECT_EQ(errors.errors[0], c.saveFailure) << c.name;
    }
    // A run after the closes is added once.
    run.log.updateLogData("", "", 4);
    run.log.updateLogFile();
    run.log.updateLogFile();
    EXPECT_EQ(folder.read("config.data"), logFile(values(1, 6, 2, 1, {{4, 6}}))) << c.name;
  }
}

// A second damaged usage log never replaces the copy kept of the first.
TEST_F(UsageLogTest, EveryDamagedFileIsKept) {
  ConfigOneLabel label;
  label.text = "false";
  ProgramRun run(dir.path(), label);
  const std::string damaged[] = {"first damaged file", "second damaged file", "third"};
  for (const std::string& text : damaged) {
    dir.write("config.data", text);
    run.log.updateLogFile();
  }
  EXPECT_EQ(dir.read("config.data.bad"), damaged[0]);
  EXPECT_EQ(dir.read("config.data.bad2"), damaged[1]);
  EXPECT_EQ(dir.read("config.data.bad3"), damaged[2]);
  ASSERT_EQ(errors.errors.size(), 3u);
  EXPECT_NE(errors.errors[1].find("\"" + (dir / "config.data.bad2") + "\""), std::string::npos) << errors.errors[1];
}

// Two running copies closing at the same time: each read-merge-write holds
// the usage log's lock, so no count is lost and none is doubled.
TEST_F(UsageLogTest, TwoCopiesClosingAtOnceLoseNothing) {
  constexpr int kClosesPerCopy = 60;
  std::vector<pid_t> children;
  for (int copy = 0; copy < 2; ++copy) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ConfigOneLabel label;
      label.text = "false";
      for (int i = 0; i < kClosesPerCopy; ++i) {
        UsageCounters counters;
        UsageLog log(counters, dir / "config.data", label);
        log.updateLogData("", "", copy);
        if (!log.updateLogFile()) ::_exit(1);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(dir.read("config.data"),
            logFile(values(0, 2 * kClosesPerCopy, 0, 0, {{0, kClosesPerCopy}, {1, kClosesPerCopy}})));
  EXPECT_TRUE(errors.errors.empty());
}

TEST_F(UsageLogTest, MergeIsAllOrNothing) {
  std::vector<std::string> v = values(0, 5, 5, 5, {{0, 5}});
  v.back() = "x";
  dir.write("config.data", logFile(v));
  UsageCounters counters;
  counters.firstReportFlag = 1;
  counters.testRunCount = 2;
  EXPECT_THROW(mergeUsageLog(dir / "config.data", counters), EConvertError);
  EXPECT_EQ(counters.firstReportFlag, 1);
  EXPECT_EQ(counters.testRunCount, 2);
  EXPECT_EQ(counters.effectTestCounts[0], 0);
}

TEST_F(UsageLogTest, MissingFileMergesNothing) {
  UsageCounters counters;
  counters.testRunCount = 3;
  EXPECT_NO_THROW(mergeUsageLog(dir / "config.data", counters));
  EXPECT_EQ(counters.testRunCount, 3);
}

TEST_F(UsageLogTest, TextHasTwentySixLines) {
  UsageCounters c;
  c.testRunCount = -4;
  c.effectTestCounts[19] = 2147483647;
  const std::string text = usageLogText(c);
  size_t lines = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '\r' && text[i + 1] == '\n') ++lines;
  EXPECT_EQ(lines, 26u);
  EXPECT_NE(text.find("\r\n-4\r\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 12), "2147483647\r\n");
}

}  // namespace
}  // namespace glx
