// Reads animated GIF and WebP files back with giflib and libwebp, for the
// export tests: the frames as composed RGBA pixels, each frame's delay, and
// whether the animation loops forever.
#pragma once

#include <gif_lib.h>
#include <webp/demux.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace glx::test {

struct DecodedAnimation {
  int width = 0;
  int height = 0;
  std::vector<std::vector<unsigned char>> frames;  // RGBA
  std::vector<int> delaysMs;
  bool loopsForever = false;
};

inline DecodedAnimation decodeGifAnimation(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) throw std::runtime_error("GIF open failed");
  if (DGifSlurp(gif) == GIF_ERROR) {
    DGifCloseFile(gif, &error);
    throw std::runtime_error("GIF read failed");
  }
  DecodedAnimation out;
  out.width = gif->SWidth;
  out.height = gif->SHeight;
  std::vector<unsigned char> canvas(static_cast<size_t>(out.width) * out.height * 4, 0);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
      const ExtensionBlock& block = image.ExtensionBlocks[e];
      if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
          std::string(reinterpret_cast<char*>(block.Bytes), 11) == "NETSCAPE2.0") {
        const ExtensionBlock& data = image.ExtensionBlocks[e + 1];
        if (data.ByteCount >= 3 && data.Bytes[0] == 1 && data.Bytes[1] == 0 && data.Bytes[2] == 0)
          out.loopsForever = true;
      }
    }
    GraphicsControlBlock control{};
    DGifSavedExtensionToGCB(gif, i, &control);
    out.delaysMs.push_back(control.DelayTime * 10);
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    const GifImageDesc& d = image.ImageDesc;
    for (int y = 0; y < d.Height; ++y)
      for (int x = 0; x < d.Width; ++x) {
        const int index = image.RasterBits[y * d.Width + x];
        if (index == control.TransparentColor || !map || index >= map->ColorCount) continue;
        unsigned char* p = &canvas[((static_cast<size_t>(d.Top) + y) * out.width + d.Left + x) * 4];
        p[0] = map->Colors[index].Red;
        p[1] = map->Colors[index].Green;
        p[2] = map->Colors[index].Blue;
        p[3] = 255;
      }
    out.frames.push_back(canvas);
  }
  DGifCloseFile(gif, &error);
  return out;
}

inline DecodedAnimation decodeWebpAnimation(const std::string& bytes) {
  WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  WebPAnimDecoderOptions options;
  WebPAnimDecoderOptionsInit(&options);
  options.color_mode = MODE_RGBA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  if (!decoder) throw std::runtime_error("WebP open failed");
  WebPAnimInfo info;
  WebPAnimDecoderGetInfo(decoder, &info);
  DecodedAnimation out;
  out.width = static_cast<int>(info.canvas_width);
  out.height = static_cast<int>(info.canvas_height);
  out.loopsForever = info.loop_count == 0;
  int previous = 0;
  while (WebPAnimDecoderHasMoreFrames(decoder)) {
    uint8_t* pixels = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder, &pixels, &timestamp)) break;
    out.frames.emplace_back(pixels, pixels + static_cast<size_t>(out.width) * out.height * 4);
    out.delaysMs.push_back(timestamp - previous);
    previous = timestamp;
  }
  WebPAnimDecoderDelete(decoder);
  return out;
}

// Mean absolute difference of the colour channels of two RGBA frames.
inline double meanDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  if (a.size() != b.size() || a.empty()) return 255;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i)
    if (i % 4 != 3) sum += std::abs(int(a[i]) - int(b[i]));
  return sum / (a.size() / 4 * 3);
}

}  // namespace glx::test
