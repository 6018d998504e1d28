// Start-up: the time from starting the program until its main window is
// shown and its event loop is idle, against a bare Qt program that shows one
// empty main window, both on the offscreen platform and in the same run.
// Each program prints "shown" and quits at that moment when
// GLIMMERAX_QUIT_WHEN_SHOWN is set (app/quit_when_shown.h).
//
// The program runs from a copy of its folder in a temporary folder, with
// fresh XDG_CONFIG_HOME and XDG_DATA_HOME folders for every start: the
// user's settings and recent files are never read or written, nothing is
// written beside the real program, and with no saved month the monthly
// update reminder stays quiet, so nothing goes to the network.
//
// Counters (medians over the iterations):
//   bare_ms, program_ms   the two start-ups
//   ratio                 program / bare; should stay at or below 1.5
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/median.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kStartTimeoutMs = 60000;

// A copy of the program's folder: the executable and its data files.
class Sandbox {
 public:
  Sandbox() {
    m_root = fs::temp_directory_path() / ("glx-startup-bench-" + std::to_string(::getpid()));
    fs::create_directories(m_root / "program");
    const fs::path program(GLX_PROGRAM);
    for (const fs::directory_entry& entry : fs::directory_iterator(program.parent_path())) {
      if (!entry.is_regular_file()) continue;
      const bool executable = (entry.status().permissions() & fs::perms::owner_exec) != fs::perms::none;
      if (entry.path() == program || !executable)
        fs::copy_file(entry.path(), m_root / "program" / entry.path().filename());
    }
    m_program = (m_root / "program" / program.filename()).string();
  }
  ~Sandbox() {
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
  }
  const std::string& program() const { return m_program; }

  // Fresh settings and data folders for one start.
  fs::path newRun() {
    const fs::path run = m_root / ("run-" + std::to_string(++m_runs));
    fs::create_directories(run / "config");
    fs::create_directories(run / "data");
    return run;
  }

 private:
  fs::path m_root;
  std::string m_program;
  int m_runs = 0;
};

Sandbox& sandbox() {
  static Sandbox s;
  return s;
}

std::vector<std::string> environmentFor(const fs::path& run) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const auto eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  env["QT_QPA_PLATFORM"] = "offscreen";
  env["XDG_CONFIG_HOME"] = (run / "config").string();
  env["XDG_DATA_HOME"] = (run / "data").string();
  // A runtime folder of its own: a window the user has open would take
  // over the measured starts (one running window per user).
  env["XDG_RUNTIME_DIR"] = (run / "runtime").string();
  env["GLIMMERAX_QUIT_WHEN_SHOWN"] = "1";
  std::vector<std::string> out;
  for (const auto& [key, value] : env) out.push_back(key + "=" + value);
  return out;
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Starts the executable and returns the seconds until it reports "shown".
double timeStartUp(const std::string& executable) {
  const fs::path run = sandbox().newRun();
  const std::vector<std::string> env = environmentFor(run);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const std::string errPath = (run / "stderr.txt").string();

  int out[2];
  if (::pipe(out) != 0) throw std::runtime_error("pipe failed");
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) ::dup2(err, 2);
    if (::chdir(run.c_str()) != 0) ::_exit(126);
    char* argv[] = {const_cast<char*>(executable.c_str()), nullptr};
    ::execve(executable.c_str(), argv, envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string seen;
  double seconds = -1;
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, kStartTimeoutMs) <= 0) break;
    char buffer[256];
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<size_t>(n));
    if (seen.find("shown\n") != std::string::npos) {
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      break;
    }
  }
  ::close(out[0]);
  if (seconds < 0) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (seconds < 0)
    throw std::runtime_error(executable + " did not report its window (status " + std::to_string(status) +
                             "): " + readAll(errPath));
  return seconds;
}

using glx::bench::median;

void BM_StartUpAgainstBareWindow(benchmark::State& state) {
  std::vector<double> bare, program;
  try {
    // Once each untimed, so that both start from a warm file cache.
    timeStartUp(GLX_BARE_WINDOW);
    timeStartUp(sandbox().program());
    bool bareFirst = true;
    for (auto _ : state) {
      // Alternating the order spreads the machine's drift over both.
      if (bareFirst) bare.push_back(timeStartUp(GLX_BARE_WINDOW));
      program.push_back(timeStartUp(sandbox().program()));
      if (!bareFirst) bare.push_back(timeStartUp(GLX_BARE_WINDOW));
      bareFirst = !bareFirst;
      state.SetIterationTime(program.back());
    }
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  state.counters["bare_ms"] = median(bare) * 1e3;
  state.counters["program_ms"] = median(program) * 1e3;
  state.counters["ratio"] = median(program) / median(bare);
}
BENCHMARK(BM_StartUpAgainstBareWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace

BENCHMARK_MAIN();
