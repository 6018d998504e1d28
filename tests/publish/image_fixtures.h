// Real GIF and JPEG files made by the tests with giflib and libjpeg, and
// byte surgery on them to make damaged ones.
#pragma once

#include <gif_lib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "publish/image_probe.h"

namespace glx::test {

struct JpegOptions {
  int components = 3;  // 1 grey, 3 colour, 4 CMYK
  bool progressive = false;
  int quality = 90;
  uint32_t seed = 1;  // pixels are noise from this seed
  int restartInterval = 0;  // MCUs between restart markers, 0 for none
};

// Deterministic noise, so that every entropy-coded byte matters.
inline unsigned char noiseByte(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return static_cast<unsigned char>(state >> 24);
}

inline std::string encodeJpeg(int width, int height, const JpegOptions& options = {}) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = options.components;
  cinfo.in_color_space = options.components == 1 ? JCS_GRAYSCALE : options.components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  cinfo.restart_interval = static_cast<unsigned>(options.restartInterval);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * static_cast<size_t>(options.components));
  uint32_t state = options.seed;
  while (cinfo.next_scanline < cinfo.image_height) {
    for (unsigned char& b : row) b = noiseByte(state);
    JSAMPROW rowPointer = row.data();
    jpeg_write_scanlines(&cinfo, &rowPointer, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(out), outSize);
  std::free(out);
  jpeg_destroy_compress(&cinfo);
  return bytes;
}

struct GifFrame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
};

inline int appendGifBytes(GifFileType* gif, const GifByteType* data, int size) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
  return size;
}

// A GIF with the given logical screen and frames of noise in four colours.
inline std::string encodeGif(int screenWidth, int screenHeight, const std::vector<GifFrame>& frames) {
  std::string bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, appendGifBytes, &error);
  if (!gif) throw std::runtime_error("EGifOpen failed");
  const GifColorType colors[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {255, 255, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colors);
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, screenWidth, screenHeight, 2, 0, map) == GIF_OK;
  uint32_t state = 7;
  for (const GifFrame& f : frames) {
    ok = ok && EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, nullptr) == GIF_OK;
    std::vector<GifPixelType> row(static_cast<size_t>(f.width));
    for (int y = 0; ok && y < f.height; ++y) {
      for (GifPixelType& p : row) p = noiseByte(state) & 3;
      ok = EGifPutLine(gif, row.data(), f.width) == GIF_OK;
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  if (!ok) throw std::runtime_error("encoding a GIF failed");
  return bytes;
}

inline std::string encodeGif(int width, int height) { return encodeGif(width, height, {{0, 0, width, height}}); }

// Rewrites the frame size in a JPEG's SOF header.
inline std::string withJpegFrameSize(std::string jpeg, int width, int height) {
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
    if (static_cast<unsigned char>(jpeg[i]) == 0xFF && (marker == 0xC0 || marker == 0xC1 || marker == 0xC2)) {
      jpeg[i + 5] = static_cast<char>(height >> 8);
      jpeg[i + 6] = static_cast<char>(height & 0xFF);
      jpeg[i + 7] = static_cast<char>(width >> 8);
      jpeg[i + 8] = static_cast<char>(width & 0xFF);
      return jpeg;
    }
  }
  throw std::runtime_error("no SOF marker");
}

// The first place of a two-byte marker, or npos.
inline size_t findMarker(const std::string& jpeg, unsigned char marker) {
  for (size_t i = 0; i + 1 < jpeg.size(); ++i)
    if (static_cast<unsigned char>(jpeg[i]) == 0xFF && static_cast<unsigned char>(jpeg[i + 1]) == marker) return i;
  return std::string::npos;
}

inline const unsigned char* bytesOf(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

// Counts the decodes and passes them on to the real decoders.
class CountingDecoders : public ImageDecoders {
 public:
  ImageSize decodeGif(const std::string& path) override {
    ++decodes;
    return decodeGifFile(path);
  }
  ImageSize decodeJpeg(const std::string& path) override {
    ++decodes;
    return decodeJpegFile(path);
  }
  int decodes = 0;
};

// A clock an hour ahead: every file the test writes looks settled.
inline ImageProbe::Clock anHourLater() {
  return [] { return std::chrono::system_clock::now() + std::chrono::hours(1); };
}

}  // namespace glx::test
