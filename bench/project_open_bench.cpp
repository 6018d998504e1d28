// Opening a project of 100,000 images in the main window (the document
// filled, the image list rebuilt and laid out), against reading the same
// file into a document with the plain project reader in the same run. The
// reported "ratio" is window open time / reader time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>

#include "app/image_list_view.h"
#include "app/main_window.h"
#include "document/project_file.h"

namespace {

constexpr int kImages = 100000;

// Nobody answers: opening asks nothing and opens nothing.
class SilentDialogs : public glx::UserDialogs {
 public:
  void showMessage(const std::string&) override {}
  glx::Answer confirm(const std::string&, bool) override { return glx::Answer::No; }
  std::optional<std::string> openFile(const glx::FileDialogOptions&) override { return std::nullopt; }
  std::optional<std::string> saveFile(const glx::FileDialogOptions&) override { return std::nullopt; }
  std::optional<uint32_t> chooseColor(uint32_t) override { return std::nullopt; }
  void setClipboardText(const std::string&) override {}
};

class SilentShell : public glx::Shell {
 public:
  void open(const std::string&) override {}
  void executeFile(const std::string&, const std::string&, const std::string&, int) override {}
};

// A program folder, a settings folder and the project, all in one
// temporary folder.
struct Setup {
  Setup() {
    folder = dir.path().toStdString() + "/";
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(folder + "config"));
    QDir().mkpath(QString::fromStdString(folder + "program"));
    project = folder + "big.glx";
    glx::AppletDocument d;
    d.link = "pages/index.html";
    for (int i = 0; i < kImages; ++i) {
      d.imageNames.push_back("picture" + std::to_string(i) + ".jpg");
      d.imagePaths.push_back("/home/someone/pictures/holiday/picture" + std::to_string(i) + ".jpg");
    }
    std::ofstream(project, std::ios::binary) << glx::projectFileText(d);
    window = std::make_unique<glx::TMainWindow>(
        glx::MainWindowServices{glx::ProgramFolders(folder + "program/"), dialogs, shell, folder + "config/"});
    window->show();
    window->startUp({});
    QApplication::processEvents();
  }
  QTemporaryDir dir;
  std::string folder;
  std::string project;
  SilentDialogs dialogs;
  SilentShell shell;
  std::unique_ptr<glx::TMainWindow> window;
};

// Made in main, after the application and before the benchmarks, and gone
// before the application.
Setup* gSetup = nullptr;

double seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_OpenProjectAgainstReader(benchmark::State& state) {
  Setup& setup = *gSetup;
  glx::readProjectDocument(setup.project);  // brings the file into the cache for both
  double readerTotal = 0, openTotal = 0;
  int rows = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    const glx::AppletDocument read = glx::readProjectDocument(setup.project);
    benchmark::DoNotOptimize(read.imageNames.data());
    readerTotal += seconds(start);

    start = std::chrono::steady_clock::now();
    setup.window->openProject(setup.project);
    QApplication::processEvents();  // the list lays itself out
    const double t = seconds(start);
    openTotal += t;
    state.SetIterationTime(t);
    rows = setup.window->imageListBox->count();
  }
  if (rows != kImages) state.SkipWithError("the window's list has a wrong row count");
  state.counters["reader_s"] = readerTotal / state.iterations();
  state.counters["open_s"] = openTotal / state.iterations();
  state.counters["ratio"] = openTotal / readerTotal;
}
BENCHMARK(BM_OpenProjectAgainstReader)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  auto setup = std::make_unique<Setup>();
  gSetup = setup.get();
  benchmark::RunSpecifiedBenchmarks();
  setup.reset();
  benchmark::Shutdown();
  return 0;
}
