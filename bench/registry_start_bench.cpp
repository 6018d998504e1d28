// The registry questions a start asks (23 of them), against a settings file
// holding a 2 MB binary value (6.7 MB of REGEDIT4 text) and against one with
// the same keys and no large value, in the same run. Before each pass the
// file's times are changed, as a start after the last close would find it,
// so every pass reads and parses the file anew. Reported: "large_s" and
// "small_s" per pass, "extra_s" (what the large value adds to a start) and
// "ratio" (large / small). A second benchmark does the same with a file
// written a moment ago, whose bytes are compared at each question.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "bench/median.h"
#include "platform/registry.h"

namespace {

constexpr auto HKLM = glx::RegRoot::LocalMachine;
const std::string kMain = "Software\\Tallowbrook Software\\Glimmerax\\1.0\\MainWindow";
const std::string kBrowser = "Software\\Tallowbrook Software\\Glimmerax\\1.0\\BrowserWindow";

class SettingsOnDisk {
 public:
  SettingsOnDisk(const std::string& name, size_t largeValue) {
    m_folder = std::filesystem::temp_directory_path() /
               ("glx-registry-bench-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(m_folder);
    glx::Registry reg(m_folder.string());
    reg.setValue(HKLM, kMain, "Config 1", glx::RegValue::string("true"));
    reg.setValue(HKLM, kMain, "Config 3", glx::RegValue::string("12"));
    reg.setValue(HKLM, kMain, "MRUList", glx::RegValue::string("/home/someone/a.glx"));
    reg.setValue(HKLM, kBrowser, "Current Browser", glx::RegValue::string("default"));
    if (largeValue > 0) {
      std::string bytes(largeValue, '\0');
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + 7);
      reg.setValue(HKLM, kBrowser, "Blob", glx::RegValue::binary(bytes));
    }
  }
  ~SettingsOnDisk() { std::filesystem::remove_all(m_folder); }
  std::string folder() const { return m_folder.string() + "/"; }

  // Gives the file new times, as another day's start finds it.
  void age(long seconds) const {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, (folder() + "HKLM.reg").c_str(), times, 0);
  }

 private:
  std::filesystem::path m_folder;
};

// 23 questions, as the windows' settings and the start's own look-ups ask.
double startQuestions(const std::string& folder) {
  const auto start = std::chrono::steady_clock::now();
  const glx::Registry reg(folder);
  size_t answers = 0;
  for (int i = 0; i < 3; ++i) {
    answers += reg.openKey(HKLM, kMain).has_value();
    answers += reg.queryValue(HKLM, kMain, "Config 1").has_value();
    answers += reg.queryValue(HKLM, kMain, "Config 3").has_value();
    answers += reg.queryValue(HKLM, kMain, "MRUList").has_value();
    answers += reg.openKey(HKLM, kBrowser).has_value();
    answers += reg.queryValue(HKLM, kBrowser, "Current Browser").has_value();
    answers += reg.subKeyNames(HKLM, kBrowser).size();
  }
  answers += glx::readRegistryString(HKLM, "Software\\Tallowbrook Software\\Glimmerax\\1.0", "Update Server",
                                     folder).has_value();
  answers += reg.valueNames(HKLM, "System\\Drives").size();
  benchmark::DoNotOptimize(answers);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void run(benchmark::State& state, bool settled) {
  static SettingsOnDisk large("large", 2 * 1024 * 1024);
  static SettingsOnDisk small("small", 0);
  if (settled) {
    glx::setRegistryClock([] { return std::chrono::system_clock::now() + std::chrono::hours(1); });
  } else {
    glx::setRegistryClock([] { return std::chrono::system_clock::time_point{}; });
  }
  std::vector<double> largeTimes, smallTimes;
  long day = 1000000000;
  const auto parsesBefore = glx::registryFileReads().parses;
  for (auto _ : state) {
    large.age(++day);
    small.age(day);
    smallTimes.push_back(startQuestions(small.folder()));
    const double t = startQuestions(large.folder());
    largeTimes.push_back(t);
    state.SetIterationTime(t);
  }
  glx::setRegistryClock(nullptr);
  const double l = glx::bench::median(largeTimes);
  const double s = glx::bench::median(smallTimes);
  state.counters["large_s"] = l;
  state.counters["small_s"] = s;
  state.counters["extra_s"] = l - s;
  state.counters["ratio"] = l / s;
  state.counters["parses_per_start"] =
      static_cast<double>(glx::registryFileReads().parses - parsesBefore) / (2.0 * state.iterations());
}

void BM_StartWithALargeValue(benchmark::State& state) { run(state, true); }
void BM_StartWithALargeValueJustWritten(benchmark::State& state) { run(state, false); }

BENCHMARK(BM_StartWithALargeValue)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_StartWithALargeValueJustWritten)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
