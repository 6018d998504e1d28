// Reading a project of 20000 images (40014 lines) into a document, against
// reading the same file's lines into a vector with std::getline in the same
// run. The reported "ratio" is project read time / getline time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/project_file.h"

namespace {

constexpr int kImages = 20000;

class ProjectOnDisk {
 public:
  ProjectOnDisk() {
    m_folder = std::filesystem::temp_directory_path() / ("glx-project-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(m_folder);
    m_path = (m_folder / "big.glx").string();
    glx::AppletDocument d;
    d.link = "pages/index.html";
    d.alternativeHtml = "<p>This page needs Java.</p>\n<p>Get it from the maker.</p>";
    for (int i = 0; i < kImages; ++i) {
      d.imageNames.push_back("picture" + std::to_string(i) + ".jpg");
      d.imagePaths.push_back("/home/someone/pictures/holiday/picture" + std::to_string(i) + ".jpg");
    }
    std::ofstream(m_path, std::ios::binary) << glx::projectFileText(d);
  }
  ~ProjectOnDisk() { std::filesystem::remove_all(m_folder); }
  const std::string& path() const { return m_path; }

 private:
  std::filesystem::path m_folder;
  std::string m_path;
};

double getlineRead(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  benchmark::DoNotOptimize(lines.data());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double projectRead(const std::string& path, size_t& images) {
  const auto start = std::chrono::steady_clock::now();
  const glx::AppletDocument d = glx::readProjectDocument(path);
  images = d.imageNames.size();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ReadProjectAgainstGetline(benchmark::State& state) {
  static ProjectOnDisk project;
  size_t images = 0;
  getlineRead(project.path());  // brings the file into the cache for both
  double referenceTotal = 0, readTotal = 0;
  for (auto _ : state) {
    referenceTotal += getlineRead(project.path());
    const double t = projectRead(project.path(), images);
    readTotal += t;
    state.SetIterationTime(t);
  }
  if (images != kImages) state.SkipWithError("the project read gave a wrong image count");
  state.counters["getline_s"] = referenceTotal / state.iterations();
  state.counters["read_s"] = readTotal / state.iterations();
  state.counters["ratio"] = readTotal / referenceTotal;
}
BENCHMARK(BM_ReadProjectAgainstGetline)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
