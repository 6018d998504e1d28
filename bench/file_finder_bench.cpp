// Times the file finder looking for one file name in a tree of 20,400
// folders and 200,000 files, against `find DIR -iname NAME` on the same
// tree in the same run. The reported "ratio" is finder time / find time.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/drives.h"
#include "search/file_finder.h"

extern char** environ;

namespace {

constexpr int kTop = 20, kMiddle = 20, kLeaf = 50, kFilesPerLeaf = 10;
const char* const kTarget = "Target-Program.exe";

class Tree {
 public:
  Tree() {
    char pattern[] = "/tmp/glx-finder-bench-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
    m_root = pattern;
    std::string path;
    for (int a = 0; a < kTop; ++a) {
      const std::string top = m_root + "/top" + std::to_string(a);
      ::mkdir(top.c_str(), 0755);
      for (int b = 0; b < kMiddle; ++b) {
        const std::string middle = top + "/middle" + std::to_string(b);
        ::mkdir(middle.c_str(), 0755);
        for (int c = 0; c < kLeaf; ++c) {
          const std::string leaf = middle + "/leaf" + std::to_string(c);
          ::mkdir(leaf.c_str(), 0755);
          for (int f = 0; f < kFilesPerLeaf; ++f) {
            path = leaf + "/file" + std::to_string(f) + (f % 3 == 0 ? ".exe" : ".dat");
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd >= 0) ::close(fd);
          }
        }
      }
    }
    const std::string target = m_root + "/top13/middle7/leaf42/" + kTarget;
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
  }
  ~Tree() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
  }
  const std::string& root() const { return m_root; }

 private:
  std::string m_root;
};

Tree& tree() {
  static Tree instance;
  return instance;
}

double runFind(const std::string& root) {
  const auto start = std::chrono::steady_clock::now();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::string name = "-iname";
  std::string target = std::string(kTarget);
  std::string program = "find";
  char* argv[] = {program.data(), const_cast<char*>(root.c_str()), name.data(), target.data(), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "find", &actions, nullptr, argv, environ) != 0)
    throw std::runtime_error("cannot start find");
  int status = 0;
  ::waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double runFinder(const std::string& root, int* hits) {
  glx::TFileFinder finder;
  glx::DriveTable table;
  table.clear();
  table.set('C', glx::DriveType::Fixed, root);
  finder.setDriveTable(table);
  finder.setFileMask(kTarget);
  QEventLoop loop;
  *hits = 0;
  finder.OnFileFound = [&](glx::TFindThread&, const std::string&, const glx::SearchRecord&) { ++*hits; };
  finder.OnCompleted = [&](glx::TFindThread&) { loop.quit(); };
  const auto start = std::chrono::steady_clock::now();
  finder.Start();
  loop.exec();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_FinderAgainstFind(benchmark::State& state) {
  const std::string& root = tree().root();
  runFind(root);  // warms the cache for both
  double findTotal = 0, finderTotal = 0;
  int hits = 0;
  for (auto _ : state) {
    const double findTime = runFind(root);
    const double finderTime = runFinder(root, &hits);
    findTotal += findTime;
    finderTotal += finderTime;
    state.SetIterationTime(finderTime);
  }
  if (hits != 1) state.SkipWithError("the finder did not find the one file");
  state.counters["find_s"] = findTotal / state.iterations();
  state.counters["finder_s"] = finderTotal / state.iterations();
  state.counters["ratio"] = finderTotal / findTotal;
}
BENCHMARK(BM_FinderAgainstFind)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
