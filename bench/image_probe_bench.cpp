// The image probe on two 6000 x 4000 colour JPEGs at quality 90: one of
// pseudo-random noise (the worst case for entropy decoding) and one made
// like a photograph (smooth gradients and shapes under fine grain). For each,
// in the same run: the probe, libjpeg's Huffman decoding alone (the floor
// for any probe that checks every coefficient), a plain full-size decode,
// and an HTML build repeated with the first image unchanged.
//
// Counters (per image, medians of the iterations):
//   probe_ms, floor_ms, full_ms   the three decodes
//   probe_per_floor               probe / floor; should stay at or below 1.1
//   probe_per_full                probe / full decode
//   build_ms                      a repeated HTML build; should stay at or
//                                 below 2 ms (a frame is 16 ms)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>

#include "document/html_builder.h"
#include "publish/image_probe.h"
#include "bench/median.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

uint32_t nextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state;
}

// Compresses rows of RGB made by fillRow(y, row) at quality 90.
template <typename FillRow>
std::string encodeJpeg(FillRow fillRow) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = kWidth;
  cinfo.image_height = kHeight;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(kWidth) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    fillRow(static_cast<int>(cinfo.next_scanline), row.data());
    JSAMPROW rowPointer = row.data();
    jpeg_write_scanlines(&cinfo, &rowPointer, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(out), outSize);
  std::free(out);
  jpeg_destroy_compress(&cinfo);
  return bytes;
}

std::string encodeNoise() {
  uint32_t state = 12345;
  return encodeJpeg([&state](int, unsigned char* row) {
    for (int i = 0; i < kWidth * 3; ++i) row[i] = static_cast<unsigned char>(nextRandom(state) >> 24);
  });
}

// Soft-edged discs over a sky-like gradient, with grain of a few levels in
// every channel, as a camera's sensor leaves it.
std::string encodePhoto() {
  struct Disc {
    double x, y, radius;
    double r, g, b;
  };
  uint32_t state = 2024;
  const auto unit = [&state] { return (nextRandom(state) >> 8) / double(1u << 24); };
  std::vector<Disc> discs;
  for (int i = 0; i < 24; ++i) {
    discs.push_back({unit() * kWidth, unit() * kHeight, 150 + unit() * 900, 40 + unit() * 200, 40 + unit() * 200,
                     40 + unit() * 200});
  }
  uint32_t grain = 99;
  std::vector<const Disc*> crossing;
  return encodeJpeg([&](int y, unsigned char* row) {
    const double fy = double(y) / kHeight;
    crossing.clear();
    for (const Disc& d : discs)
      if (std::abs(y - d.y) < d.radius) crossing.push_back(&d);
    for (int x = 0; x < kWidth; ++x) {
      const double fx = double(x) / kWidth;
      double r = 60 + 150 * fy + 30 * fx;
      double g = 90 + 110 * fy * fy + 20 * fx;
      double b = 200 - 120 * fy + 40 * fx * (1 - fx);
      for (const Disc* disc : crossing) {
        const Disc& d = *disc;
        const double dx = x - d.x, dy = y - d.y;
        const double dist2 = dx * dx + dy * dy;
        if (dist2 >= d.radius * d.radius) continue;
        // Shaded like a ball lit from the top left, with a soft rim.
        const double t = std::sqrt(dist2) / d.radius;
        const double edge = std::min(1.0, (1 - t) * 12);
        const double light = 1.1 - 0.4 * ((dx + dy) / (2 * d.radius) + 0.5);
        r += edge * (d.r * light - r);
        g += edge * (d.g * light - g);
        b += edge * (d.b * light - b);
      }
      const double channel[3] = {r, g, b};
      for (int c = 0; c < 3; ++c) {
        const int noise = static_cast<int>((nextRandom(grain) >> 24) % 25) - 12;
        row[x * 3 + c] = static_cast<unsigned char>(std::clamp(static_cast<int>(channel[c]) + noise, 0, 255));
      }
    }
  });
}

// The two pictures in a temporary folder, removed at exit.
class Pictures {
 public:
  Pictures() {
    m_folder = std::filesystem::temp_directory_path() / ("glx-probe-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(m_folder);
    m_noise = write("noise.jpg", encodeNoise());
    m_photo = write("photo.jpg", encodePhoto());
  }
  ~Pictures() { std::filesystem::remove_all(m_folder); }
  const std::string& noise() const { return m_noise; }
  const std::string& photo() const { return m_photo; }

 private:
  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = (m_folder / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }

  std::filesystem::path m_folder;
  std::string m_noise, m_photo;
};

const Pictures& pictures() {
  static Pictures p;
  return p;
}

enum class Picture { Noise, Photo };

const std::string& pathOf(Picture picture) {
  return picture == Picture::Noise ? pictures().noise() : pictures().photo();
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

using glx::bench::median;

// What an ordinary program does to show the photo: every pixel at full
// size, libjpeg's default settings, RGB out.
double fullDecode(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  std::vector<unsigned char> row(static_cast<size_t>(cinfo.output_width) * cinfo.output_components);
  JSAMPROW rowPointer = row.data();
  while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, &rowPointer, 1);
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  benchmark::DoNotOptimize(row.data());
  return secondsSince(start);
}

// libjpeg's cheapest decode that still reads every coefficient: all rows
// but the last skipped, so only the Huffman decoding runs. No probe that
// checks the whole file can be faster than this with libjpeg.
double entropyOnlyDecode(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  std::vector<unsigned char> row(static_cast<size_t>(cinfo.output_width) * cinfo.output_components);
  JSAMPROW rowPointer = row.data();
  jpeg_skip_scanlines(&cinfo, cinfo.output_height - 1);
  while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, &rowPointer, 1);
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  benchmark::DoNotOptimize(row.data());
  return secondsSince(start);
}

// The probe as an HTML build calls it, without its memory.
double probe(const std::string& path, std::optional<glx::ImageSize>& size) {
  const auto start = std::chrono::steady_clock::now();
  glx::LoadImage(size, "", path, path);
  return secondsSince(start);
}

void BM_Probe(benchmark::State& state, Picture picture) {
  const std::string& path = pathOf(picture);
  std::optional<glx::ImageSize> size;
  fullDecode(path);  // brings the file into the cache for all three
  std::vector<double> full, probed, floor;
  for (auto _ : state) {
    full.push_back(fullDecode(path));
    probed.push_back(probe(path, size));
    floor.push_back(entropyOnlyDecode(path));
    state.SetIterationTime(probed.back());
  }
  if (!size || size->width != kWidth || size->height != kHeight) state.SkipWithError("the probe gave a wrong size");
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.counters["full_ms"] = median(full) * 1e3;
  state.counters["probe_ms"] = median(probed) * 1e3;
  state.counters["floor_ms"] = median(floor) * 1e3;
  state.counters["probe_per_floor"] = median(probed) / median(floor);
  state.counters["probe_per_full"] = median(probed) / median(full);
}
BENCHMARK_CAPTURE(BM_Probe, noise, Picture::Noise)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_Probe, photo, Picture::Photo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// A person at the program: answers nothing, as no message is expected.
class NoDialogs : public glx::UserDialogs {
 public:
  void showMessage(const std::string&) override { ++messages; }
  glx::Answer confirm(const std::string&, bool) override { return glx::Answer::No; }
  std::optional<std::string> openFile(const glx::FileDialogOptions&) override { return std::nullopt; }
  std::optional<std::string> saveFile(const glx::FileDialogOptions&) override { return std::nullopt; }
  std::optional<uint32_t> chooseColor(uint32_t) override { return std::nullopt; }
  void setClipboardText(const std::string&) override {}
  int messages = 0;
};

class CountingDecoders : public glx::ImageDecoders {
 public:
  glx::ImageSize decodeGif(const std::string& path) override {
    ++decodes;
    return glx::decodeGifFile(path);
  }
  glx::ImageSize decodeJpeg(const std::string& path) override {
    ++decodes;
    return glx::decodeJpegFile(path);
  }
  int decodes = 0;
};

// A file changed within the probe's settle time is decoded on every build;
// a camera's photo is older than that, so the build waits until this one is.
void waitUntilSettled(const std::string& path) {
  const auto identity = glx::identifyFile(path);
  if (!identity) return;
  const auto settled = identity->lastChange() + glx::ImageProbe::kSettleTime + std::chrono::milliseconds(50);
  std::this_thread::sleep_until(settled);
}

void BM_RepeatedHtmlBuild(benchmark::State& state, Picture picture) {
  const std::string& path = pathOf(picture);
  waitUntilSettled(path);
  glx::AppletDocument document;
  document.appletClass = "fade.class";
  document.imageNames = {std::filesystem::path(path).filename().string()};
  document.imagePaths = {path};
  NoDialogs dialogs;
  glx::NullHtmlView view;
  CountingDecoders decoders;
  glx::HtmlBuilder builder(document, dialogs, view, glx::ImageProbe(decoders));
  builder.makeHTML();  // the first build after a change decodes
  std::vector<double> builds;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> lines = builder.makeHTML();
    builds.push_back(secondsSince(start));
    benchmark::DoNotOptimize(lines.data());
    state.SetIterationTime(builds.back());
  }
  if (decoders.decodes != 1) state.SkipWithError("the unchanged image was decoded again");
  if (dialogs.messages != 0 || document.appletWidth != kWidth || document.appletHeight != kHeight)
    state.SkipWithError("the build gave a wrong size");
  state.counters["build_ms"] = median(builds) * 1e3;
}
BENCHMARK_CAPTURE(BM_RepeatedHtmlBuild, noise, Picture::Noise)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);
BENCHMARK_CAPTURE(BM_RepeatedHtmlBuild, photo, Picture::Photo)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
