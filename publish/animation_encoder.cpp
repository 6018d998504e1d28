#include "publish/animation_encoder.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <omp.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace glx {

namespace {

std::string gifErrorText(int code) {
  const char* text = GifErrorString(code);  // NULL for codes it does not know
  return text ? text : "GIF error " + std::to_string(code);
}

// libimagequant's OpenMP threads spin while they wait for work; with the
// renderer on the other core they cost far more than they save on a frame
// this size. The count is the calling thread's own and is put back.
class SingleThreaded {
 public:
  SingleThreaded() : m_saved(omp_get_max_threads()) { omp_set_num_threads(1); }
  ~SingleThreaded() { omp_set_num_threads(m_saved); }
  SingleThreaded(const SingleThreaded&) = delete;
  SingleThreaded& operator=(const SingleThreaded&) = delete;

 private:
  int m_saved;
};

int appendToString(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
  return length;
}

// A palette is built at the fastest speed from a histogram of a sample of
// the frame, and kept for the following frames while it maps them nearly
// as well as it mapped its own;
// each frame is remapped onto it with dithering. Quantizing every full
// frame at a slower speed cost several times the rendering. The first
// palette is the file's global colour map; a later frame carries its own
// map only when its palette differs.
class GifEncoder : public AnimationEncoder {
 public:
  GifEncoder(int width, int height, int frameMs)
      : m_width(width), m_height(height), m_delay(gifDelayUnits(frameMs)) {
    int error = 0;
    m_gif = EGifOpen(&m_bytes, appendToString, &error);
    if (!m_gif) throw EAnimationError(gifErrorText(error));
    EGifSetGifVersion(m_gif, true);

    m_attr = liq_attr_create();
    if (!m_attr) throw EAnimationError("Out of memory");
    liq_set_max_colors(m_attr, 256);
    // The fastest search: dithering hides what a slower one would gain.
    liq_set_speed(m_attr, 10);
    const size_t pixels = static_cast<size_t>(width) * height;
    m_opaque.resize(pixels * 4);
    m_indices.resize(pixels);
  }

  ~GifEncoder() override {
    dropLocalMap();
    if (m_gif) EGifCloseFile(m_gif, nullptr);
    if (m_palette) liq_result_destroy(m_palette);
    if (m_attr) liq_attr_destroy(m_attr);
  }

  void addFrame(const unsigned char* rgba) override {
    const size_t pixels = static_cast<size_t>(m_width) * m_height;
    std::memcpy(m_opaque.data(), rgba, pixels * 4);
    for (size_t i = 0; i < pixels; ++i) m_opaque[i * 4 + 3] = 255;
    const SingleThreaded singleThreaded;
    takeSamples();
    if (!m_palette || !paletteStillFits()) newPalette();
    LiqImage image{liq_image_create_rgba(m_attr, m_opaque.data(), m_width, m_height, 0)};
    if (!image.image) throw EAnimationError("Out of memory");
    liq_set_dithering_level(m_palette, 1.0f);
    if (liq_write_remapped_image(m_palette, image.image, m_indices.data(), m_indices.size()) != LIQ_OK)
      throw EAnimationError("The frame's colours could not be reduced");
    writeFrame(colorMapOf(liq_get_palette(m_palette)));
  }

  std::string finish() override {
    if (!m_headerWritten) writeHeader(nullptr);  // no frame: a valid, empty animation
    dropLocalMap();
    int error = 0;
    GifFileType* gif = m_gif;
    m_gif = nullptr;
    if (EGifCloseFile(gif, &error) == GIF_ERROR) throw EAnimationError(gifErrorText(error));
    return std::move(m_bytes);
  }

 private:
  using ColorMap = std::unique_ptr<ColorMapObject, decltype(&GifFreeMapObject)>;

  struct LiqImage {
    liq_image* image;
    ~LiqImage() {
      if (image) liq_image_destroy(image);
    }
  };

  struct Sample {
    std::vector<unsigned char> rgba;
    int width = 0;
    int height = 0;
  };

  // Every step-th pixel in both directions.
  void takeSample(Sample& sample, int step) const {
    sample.width = (m_width + step - 1) / step;
    sample.height = (m_height + step - 1) / step;
    sample.rgba.resize(static_cast<size_t>(sample.width) * sample.height * 4);
    unsigned char* out = sample.rgba.data();
    for (int y = 0; y < m_height; y += step)
      for (int x = 0; x < m_width; x += step, out += 4)
        std::memcpy(out, m_opaque.data() + (static_cast<size_t>(y) * m_width + x) * 4, 4);
  }

  // The palette is built from every other pixel, the fit is judged on every
  // fourth; small frames are taken whole, as a sample would leave too few.
  void takeSamples() {
    const bool large = m_width >= 64 && m_height >= 64;
    takeSample(m_sample, large ? 2 : 1);
    takeSample(m_probe, large ? 4 : 1);
  }

  // The mean squared error per channel (0..255 units) of the probe mapped
  // onto the palette's nearest colours without dithering; negative when it
  // could not be measured. Measured here from the mapped pixels themselves:
  // the library's own remapping error is not kept for every remap, and a
  // stale figure let a flat picture's two colours pass for a gradient's.
  double probeError(liq_result* palette) {
    LiqImage image{liq_image_create_rgba(m_attr, m_probe.rgba.data(), m_probe.width, m_probe.height, 0)};
    if (!image.image) return -1;
    std::vector<unsigned char> indices(m_probe.rgba.size() / 4);
    liq_set_dithering_level(palette, 0.0f);
    if (liq_write_remapped_image(palette, image.image, indices.data(), indices.size()) != LIQ_OK) return -1;
    const liq_palette* colors = liq_get_palette(palette);
    if (!colors || colors->count == 0) return -1;
    double sum = 0;
    for (size_t i = 0; i < indices.size(); ++i) {
      if (indices[i] >= colors->count) return -1;
      const liq_color& c = colors->entries[indices[i]];
      const unsigned char* p = m_probe.rgba.data() + i * 4;
      const double dr = double(p[0]) - c.r, dg = double(p[1]) - c.g, db = double(p[2]) - c.b;
      sum += dr * dr + dg * dg + db * db;
    }
    return indices.empty() ? 0 : sum / (3.0 * static_cast<double>(indices.size()));
  }

  // Neighbouring steps mostly move the same colours around: the palette
  // built for an earlier step is kept while it maps this step nearly as
  // well as it mapped its own, which saves most of the cost of a new one.
  // A step whose colours the palette lacks (a flat first picture's palette
  // against the next picture) gets a palette, and so a colour table, of its
  // own.
  bool paletteStillFits() {
    const double error = probeError(m_palette);
    return error >= 0 && m_paletteError >= 0 && error <= m_paletteError * 1.25 + 2.0;
  }

  void newPalette() {
    if (m_palette) liq_result_destroy(m_palette);
    m_palette = nullptr;
    liq_histogram* histogram = liq_histogram_create(m_attr);
    if (!histogram) throw EAnimationError("Out of memory");
    bool ok;
    {
      LiqImage image{liq_image_create_rgba(m_attr, m_sample.rgba.data(), m_sample.width, m_sample.height, 0)};
      ok = image.image && liq_histogram_add_image(histogram, m_attr, image.image) == LIQ_OK;
    }
    if (ok) ok = liq_histogram_quantize(histogram, m_attr, &m_palette) == LIQ_OK;
    liq_histogram_destroy(histogram);
    if (!ok) {
      m_palette = nullptr;
      throw EAnimationError("The frame's colours could not be reduced");
    }
    m_paletteError = probeError(m_palette);
  }

  // A colour table's size is a power of two; the unused entries are black.
  static ColorMap colorMapOf(const liq_palette* palette) {
    std::vector<GifColorType> colors(256);
    for (unsigned i = 0; i < palette->count; ++i)
      colors[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
    const unsigned count = palette->count ? palette->count : 1;
    int bits = 1;
    while ((1u << bits) < count) ++bits;
    ColorMap map(GifMakeMapObject(1 << bits, colors.data()), &GifFreeMapObject);
    if (!map) throw EAnimationError("Out of memory");
    return map;
  }

  static bool sameMap(const ColorMapObject* a, const ColorMapObject* b) {
    return a && b && a->ColorCount == b->ColorCount &&
           std::memcmp(a->Colors, b->Colors, sizeof(GifColorType) * a->ColorCount) == 0;
  }

  void writeHeader(const ColorMapObject* globalMap) {
    m_headerWritten = true;
    const int bits = globalMap ? globalMap->BitsPerPixel : 8;
    if (EGifPutScreenDesc(m_gif, m_width, m_height, bits, 0, globalMap) == GIF_ERROR) fail();
    // The application extension that makes viewers loop: count 0 = forever.
    static const GifByteType kNetscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kLoopForever[] = {1, 0, 0};
    if (EGifPutExtensionLeader(m_gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(m_gif, sizeof kNetscape, kNetscape) == GIF_ERROR ||
        EGifPutExtensionBlock(m_gif, sizeof kLoopForever, kLoopForever) == GIF_ERROR ||
        EGifPutExtensionTrailer(m_gif) == GIF_ERROR)
      fail();
  }

  void writeFrame(ColorMap map) {
    if (!m_headerWritten) {
      writeHeader(map.get());
      m_globalMap = std::move(map);
    }
    // A frame whose palette is the global one needs no map of its own.
    const ColorMapObject* local = sameMap(map.get(), m_globalMap.get()) || !map ? nullptr : map.get();

    dropLocalMap();
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = m_delay;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    bool ok = EGifPutExtension(m_gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_ERROR &&
              EGifPutImageDesc(m_gif, 0, 0, m_width, m_height, false, local) != GIF_ERROR;
    for (int y = 0; ok && y < m_height; ++y)
      ok = EGifPutLine(m_gif, m_indices.data() + static_cast<size_t>(y) * m_width, m_width) != GIF_ERROR;
    if (!ok) fail();
  }

  // giflib keeps a copy of the last frame's own colour map: it would size
  // the next frame's codes by it when that frame has none, and it is not
  // always freed on close.
  void dropLocalMap() {
    if (m_gif && m_gif->Image.ColorMap) {
      GifFreeMapObject(m_gif->Image.ColorMap);
      m_gif->Image.ColorMap = nullptr;
    }
  }

  [[noreturn]] void fail() { throw EAnimationError(gifErrorText(m_gif->Error)); }

  int m_width;
  int m_height;
  int m_delay;
  std::string m_bytes;
  GifFileType* m_gif = nullptr;
  liq_attr* m_attr = nullptr;
  bool m_headerWritten = false;
  ColorMap m_globalMap{nullptr, &GifFreeMapObject};
  liq_result* m_palette = nullptr;
  double m_paletteError = -1;
  std::vector<unsigned char> m_opaque;
  std::vector<unsigned char> m_indices;
  Sample m_sample;
  Sample m_probe;
};

// Each step is encoded on its own and the frames are put together with
// libwebp's mux: its animation encoder folds identical neighbouring steps
// into one frame, and writes a still image without loop when all steps are
// alike, so a cycle would not keep one frame per step.
class WebpEncoder : public AnimationEncoder {
 public:
  WebpEncoder(int width, int height, int frameMs) : m_width(width), m_height(height), m_frameMs(frameMs) {
    if (!WebPConfigInit(&m_config)) throw EAnimationError("The WebP library does not match");
    m_config.lossless = 0;
    m_config.quality = 90;
    m_config.method = 2;
    m_mux = WebPMuxNew();
    if (!m_mux) throw EAnimationError("Out of memory");
    m_rgb.resize(static_cast<size_t>(width) * height * 3);
  }

  ~WebpEncoder() override {
    if (m_mux) WebPMuxDelete(m_mux);
  }

  void addFrame(const unsigned char* rgba) override {
    // Frames are opaque: importing RGB leaves alpha out of the file.
    for (size_t i = 0, n = static_cast<size_t>(m_width) * m_height; i < n; ++i) {
      m_rgb[i * 3] = rgba[i * 4];
      m_rgb[i * 3 + 1] = rgba[i * 4 + 1];
      m_rgb[i * 3 + 2] = rgba[i * 4 + 2];
    }
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) throw EAnimationError("The WebP library does not match");
    picture.width = m_width;
    picture.height = m_height;
    picture.use_argb = 1;
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool encoded = WebPPictureImportRGB(&picture, m_rgb.data(), m_width * 3) &&
                         WebPEncode(&m_config, &picture);
    const int error = picture.error_code;
    WebPPictureFree(&picture);
    if (!encoded) {
      WebPMemoryWriterClear(&writer);
      throw EAnimationError("The WebP frame could not be encoded (error " + std::to_string(error) + ")");
    }
    WebPMuxFrameInfo frame{};
    frame.bitstream.bytes = writer.mem;
    frame.bitstream.size = writer.size;
    frame.x_offset = 0;
    frame.y_offset = 0;
    frame.duration = m_frameMs;
    frame.id = WEBP_CHUNK_ANMF;
    frame.dispose_method = WEBP_MUX_DISPOSE_NONE;
    frame.blend_method = WEBP_MUX_NO_BLEND;
    const WebPMuxError pushed = WebPMuxPushFrame(m_mux, &frame, 1);
    WebPMemoryWriterClear(&writer);
    if (pushed != WEBP_MUX_OK) throw EAnimationError(muxError(pushed));
  }

  std::string finish() override {
    WebPMuxAnimParams params;
    params.bgcolor = 0xFF000000;
    params.loop_count = 0;  // forever
    WebPMuxError result = WebPMuxSetAnimationParams(m_mux, &params);
    if (result == WEBP_MUX_OK) result = WebPMuxSetCanvasSize(m_mux, m_width, m_height);
    WebPData data;
    WebPDataInit(&data);
    if (result == WEBP_MUX_OK) result = WebPMuxAssemble(m_mux, &data);
    if (result != WEBP_MUX_OK) throw EAnimationError(muxError(result));
    std::string bytes(reinterpret_cast<const char*>(data.bytes), data.size);
    WebPDataClear(&data);
    return bytes;
  }

 private:
  static std::string muxError(WebPMuxError error) {
    return error == WEBP_MUX_MEMORY_ERROR ? "Out of memory"
                                          : "The WebP animation could not be assembled (error " +
                                                std::to_string(static_cast<int>(error)) + ")";
  }

  int m_width;
  int m_height;
  int m_frameMs;
  WebPConfig m_config;
  WebPMux* m_mux = nullptr;
  std::vector<unsigned char> m_rgb;
};

}  // namespace

int gifDelayUnits(int frameMs) {
  const int units = (frameMs + 5) / 10;
  return units < 1 ? 1 : units;
}

std::unique_ptr<AnimationEncoder> makeAnimationEncoder(AnimationFormat format, int width, int height,
                                                       int frameMs) {
  if (width < 1 || height < 1 || width > 65535 || height > 65535)
    throw EAnimationError("The animation's size must be between 1 and 65535 pixels");
  if (format == AnimationFormat::Gif) return std::make_unique<GifEncoder>(width, height, frameMs);
  return std::make_unique<WebpEncoder>(width, height, frameMs);
}

}  // namespace glx
