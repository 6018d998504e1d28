// Exporting one full cycle of each of the twenty effects at 320 x 240, with
// the shipped player, as animated GIF and as animated WebP. Each frame is
// timed from the start of its rendering to the end of its encoding; the
// file's assembly and writing are shared out over the frames. Reported per
// effect and format: "ms_per_frame", the median over the cycle's frames,
// and "render_ms", the median of the rendering alone measured in the same
// run (the reference), with "ratio" = ms_per_frame / render_ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "app/player_applet.h"
#include "app/web_engine_module.h"
#include "document/effects.h"
#include "platform/file_ops.h"
#include "publish/animation_export.h"
#include "bench/median.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 320;
constexpr int kHeight = 240;

QTemporaryDir* gFolder = nullptr;

std::string photo(const char* name, int seed) {
  const std::string path = gFolder->path().toStdString() + "/" + name;
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      image.setPixel(x, y, qRgb((x * 255 / kWidth + seed) % 256, (y * 255 / kHeight) % 256, ((x ^ y) + seed * 3) % 256));
  image.save(QString::fromStdString(path), "JPG", 90);
  return path;
}

glx::PlayerApplet appletFor(int effect) {
  const glx::EffectEntry& row = glx::kEffects[effect];
  glx::AppletDocument document;
  document.effectIndex = effect;
  document.appletClass = row.classFile;
  document.effectSpeed = row.speed;
  document.frameCount = row.frames;
  document.effectVariant = row.variant == glx::kKeepVariant ? 0 : row.variant;
  document.effectConstant = row.constant;
  document.multiImage = row.multiImage;
  document.imagePaths = {photo("one.jpg", 0)};
  if (row.multiImage) document.imagePaths.push_back(photo("two.jpg", 90));
  for (const std::string& path : document.imagePaths) document.imageNames.push_back(glx::bareFileName(path));
  return glx::playerAppletOf(glx::buildAppletQuietly(document));
}

using glx::bench::median;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void exportCycle(benchmark::State& state, int effect, glx::AnimationFormat format) {
  std::unique_ptr<glx::FrameSource> source(
      glx::webEngineModule().createFrameSource(appletFor(effect), GLX_PLAYER_SCRIPT));
  const int frames = source->cycleLength();
  std::vector<unsigned char> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
  std::vector<double> perFrame;
  std::vector<double> renderOnly;
  const std::string target =
      gFolder->path().toStdString() + (format == glx::AnimationFormat::Gif ? "/out.gif" : "/out.webp");
  for (auto _ : state) {
    perFrame.clear();
    renderOnly.clear();
    auto encoder = glx::makeAnimationEncoder(format, kWidth, kHeight, source->stepMs());
    for (int step = 0; step < frames; ++step) {
      const auto start = Clock::now();
      source->renderStep(step, pixels.data());
      const auto rendered = Clock::now();
      encoder->addFrame(pixels.data());
      perFrame.push_back(ms(Clock::now() - start));
      renderOnly.push_back(ms(rendered - start));
    }
    const auto start = Clock::now();
    glx::writeFileAtomic(target, encoder->finish());
    const double shared = ms(Clock::now() - start) / frames;
    for (double& t : perFrame) t += shared;
  }
  const double perFrameMedian = median(perFrame);
  const double renderMedian = median(renderOnly);
  state.counters["frames"] = frames;
  state.counters["ms_per_frame"] = perFrameMedian;
  state.counters["render_ms"] = renderMedian;
  state.counters["ratio"] = renderMedian > 0 ? perFrameMedian / renderMedian : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  QTemporaryDir folder;
  gFolder = &folder;
  for (int effect = 0; effect < glx::kEffectCount; ++effect)
    for (const auto& [name, format] : {std::pair{"gif", glx::AnimationFormat::Gif},
                                       std::pair{"webp", glx::AnimationFormat::Webp}})
      benchmark::RegisterBenchmark((std::string("export/") + name + "/" + glx::kEffects[effect].displayName).c_str(),
                                   [effect, format = format](benchmark::State& s) { exportCycle(s, effect, format); })
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
