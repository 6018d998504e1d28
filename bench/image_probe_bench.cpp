// The image probe on a 6000 x 4000 colour JPEG of pseudo-random noise at
// quality 90, against a plain full-size libjpeg decode of the same file in
// the same run. The reported "ratio" is probe time / full decode time;
// "floor_ratio" is libjpeg's entropy decoding alone / full decode time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>

#include "publish/image_probe.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

std::string encodeNoisePhoto() {
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
  uint32_t state = 12345;
  while (cinfo.next_scanline < cinfo.image_height) {
    for (unsigned char& b : row) {
      state = state * 1664525u + 1013904223u;
      b = static_cast<unsigned char>(state >> 24);
    }
    JSAMPROW rowPointer = row.data();
    jpeg_write_scanlines(&cinfo, &rowPointer, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(out), outSize);
  std::free(out);
  jpeg_destroy_compress(&cinfo);
  return bytes;
}

// The photo in a temporary file, removed at exit.
class Photo {
 public:
  Photo() {
    m_folder = std::filesystem::temp_directory_path() / ("glx-probe-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(m_folder);
    m_path = (m_folder / "photo.jpg").string();
    const std::string bytes = encodeNoisePhoto();
    std::FILE* f = std::fopen(m_path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  ~Photo() { std::filesystem::remove_all(m_folder); }
  const std::string& path() const { return m_path; }

 private:
  std::filesystem::path m_folder;
  std::string m_path;
};

const Photo& photo() {
  static Photo p;
  return p;
}

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
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double probe(const std::string& path, std::optional<glx::ImageSize>& size) {
  const auto start = std::chrono::steady_clock::now();
  glx::LoadImage(size, "", path, path);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ProbeAgainstFullDecode(benchmark::State& state) {
  const std::string& path = photo().path();
  std::optional<glx::ImageSize> size;
  fullDecode(path);  // brings the file into the cache for both
  double fullTotal = 0, probeTotal = 0, floorTotal = 0;
  for (auto _ : state) {
    const double fullTime = fullDecode(path);
    const double probeTime = probe(path, size);
    floorTotal += entropyOnlyDecode(path);
    fullTotal += fullTime;
    probeTotal += probeTime;
    state.SetIterationTime(probeTime);
  }
  if (!size || size->width != kWidth || size->height != kHeight) state.SkipWithError("the probe gave a wrong size");
  state.counters["full_s"] = fullTotal / state.iterations();
  state.counters["probe_s"] = probeTotal / state.iterations();
  state.counters["ratio"] = probeTotal / fullTotal;
  // The same for libjpeg's Huffman decoding alone: the least any probe that
  // reads every coefficient can cost.
  state.counters["floor_ratio"] = floorTotal / fullTotal;
}
BENCHMARK(BM_ProbeAgainstFullDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
