#include "publish/image_probe.h"

#include <gif_lib.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// libjpeg's headers need FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "platform/file_ops.h"

namespace glx {

namespace {

// --- JPEG -------------------------------------------------------------------

// libjpeg's default error handler calls exit(); ours jumps back to the
// decode function with the formatted message. The jump only crosses libjpeg's
// C frames and runJpegDecode, which holds no C++ object, so no destructor is
// skipped.
struct JpegErrorManager {
  jpeg_error_mgr pub;  // first: libjpeg sees only this part
  std::jmp_buf jump;
  int code;
  char message[JMSG_LENGTH_MAX];
};

// Memory libjpeg may use for whole-image buffers (progressive and
// multi-scan files). A header claiming 65500 x 65500 would otherwise ask for
// gigabytes before a byte of image data is read.
constexpr long kJpegMemoryLimit = 512L * 1024 * 1024;

extern "C" void jpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  err->code = err->pub.msg_code;
  (*err->pub.format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings (level < 0) about damaged data end the decode like errors: a
// truncated file only ever gives "Premature end of JPEG file", never an
// error. Two header oddities that do not mean damage are let through.
extern "C" void jpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace output
  const int code = cinfo->err->msg_code;
  if (code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM) return;
  jpegErrorExit(cinfo);
}

// The orientation of the first APP1 segment that is EXIF, as browsers take
// it; 1 without one.
int orientationOf(const jpeg_decompress_struct* cinfo) {
  for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker; marker = marker->next) {
    if (marker->marker != JPEG_APP0 + 1) continue;
    if (marker->data_length >= 6 && std::memcmp(marker->data, "Exif\0\0", 6) == 0)
      return exifOrientation(marker->data, marker->data_length);
  }
  return 1;
}

// Decodes at 1/8 scale into one small row buffer, skipping all rows but the
// last: every coefficient is still entropy-decoded (which is what finds
// damage), but the inverse transform runs for one row only, and for YCbCr
// only on luminance.
// Returns false with err->message set when libjpeg failed.
// With headerOnly, stops once the header up to the first scan has been
// read, giving the frame size.
bool runJpegDecode(jpeg_decompress_struct* cinfo, JpegErrorManager* err, std::FILE* file,
                   const unsigned char* data, unsigned long size, ImageSize* result, bool headerOnly = false) {
  if (setjmp(err->jump)) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  jpeg_create_decompress(cinfo);
  cinfo->mem->max_memory_to_use = kJpegMemoryLimit;
  if (file)
    jpeg_stdio_src(cinfo, file);
  else
    jpeg_mem_src(cinfo, data, size);
  // The APP1 segments are kept for their EXIF orientation.
  jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(cinfo, TRUE);
  if (headerOnly) {
    result->width = static_cast<int>(cinfo->image_width);
    result->height = static_cast<int>(cinfo->image_height);
    jpeg_destroy_decompress(cinfo);
    return true;
  }
  const int orientation = orientationOf(cinfo);

  cinfo->scale_num = 1;
  cinfo->scale_denom = 8;
  cinfo->dct_method = JDCT_IFAST;
  cinfo->do_fancy_upsampling = FALSE;
  cinfo->do_block_smoothing = FALSE;
  if (cinfo->jpeg_color_space == JCS_YCbCr || cinfo->jpeg_color_space == JCS_GRAYSCALE)
    cinfo->out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(cinfo);

  const JDIMENSION rowBytes = cinfo->output_width * static_cast<JDIMENSION>(cinfo->output_components);
  const int rows = cinfo->rec_outbuf_height > 0 ? cinfo->rec_outbuf_height : 1;
  JSAMPARRAY buffer = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 rowBytes > 0 ? rowBytes : 1, static_cast<JDIMENSION>(rows));
  // Skipped rows are still entropy-decoded, coefficient by coefficient, so
  // damage is found in them as in decoded ones; only their inverse
  // transform is left out. The last row is decoded in full.
  if (cinfo->output_height > 1) jpeg_skip_scanlines(cinfo, cinfo->output_height - 1);
  while (cinfo->output_scanline < cinfo->output_height)
    jpeg_read_scanlines(cinfo, buffer, static_cast<JDIMENSION>(rows));
  jpeg_finish_decompress(cinfo);

  result->width = static_cast<int>(cinfo->image_width);
  result->height = static_cast<int>(cinfo->image_height);
  if (swapsWidthAndHeight(orientation)) std::swap(result->width, result->height);
  jpeg_destroy_decompress(cinfo);
  return true;
}

// Whether a JPEG's header up to its first scan decodes.
// A decompressor whose errors and warnings go to err.
void prepareJpeg(jpeg_decompress_struct& cinfo, JpegErrorManager& err) {
  std::memset(&cinfo, 0, sizeof cinfo);
  std::memset(&err, 0, sizeof err);
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = jpegErrorExit;
  err.pub.emit_message = jpegEmitMessage;
}

bool jpegHeaderDecodes(std::FILE* file, const unsigned char* data, std::size_t size) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager err;
  prepareJpeg(cinfo, err);
  ImageSize result;
  return runJpegDecode(&cinfo, &err, file, data, static_cast<unsigned long>(size), &result, true) &&
         result.width > 0 && result.height > 0;
}

ImageSize decodeJpeg(std::FILE* file, const unsigned char* data, std::size_t size) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager err;
  prepareJpeg(cinfo, err);

  ImageSize result;
  if (runJpegDecode(&cinfo, &err, file, data, static_cast<unsigned long>(size), &result)) return result;
  if (err.code == JERR_NO_BACKING_STORE) {
    // libjpeg's own text ("Backing store not supported") tells the user
    // nothing; the cause is a picture larger than the memory limit.
    throw EInvalidGraphic("The image is too large to be read (" + std::to_string(cinfo.image_width) + " x " +
                          std::to_string(cinfo.image_height) + " pixels)");
  }
  throw EInvalidGraphic(err.message);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openForReading(const std::string& path) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) throw inOutError(errno);
  return file;
}

// --- GIF --------------------------------------------------------------------

std::string gifErrorText(int code) {
  const char* text = GifErrorString(code);
  if (text) return text;
  return "Unknown GIF error " + std::to_string(code);
}

struct GifMemorySource {
  const unsigned char* data;
  std::size_t size;
  std::size_t offset;
};

extern "C" int readGifMemory(GifFileType* gif, GifByteType* out, int wanted) {
  auto* source = static_cast<GifMemorySource*>(gif->UserData);
  if (wanted <= 0) return 0;
  const std::size_t left = source->size - source->offset;
  const std::size_t n = std::min(left, static_cast<std::size_t>(wanted));
  if (n > 0) std::memcpy(out, source->data + source->offset, n);
  source->offset += n;
  return static_cast<int>(n);
}

extern "C" int readGifFile(GifFileType* gif, GifByteType* out, int wanted) {
  if (wanted <= 0) return 0;
  return static_cast<int>(std::fread(out, 1, static_cast<std::size_t>(wanted), static_cast<std::FILE*>(gif->UserData)));
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
  }
};

// Walks every record and decompresses every frame one row at a time, so a
// frame header claiming 65535 x 65535 costs one 64 KB row, not gigabytes.
ImageSize decodeGif(void* userData, InputFunc read) {
  int openError = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(userData, read, &openError));
  if (!gif) throw EInvalidGraphic(gifErrorText(openError));
  const auto fail = [&gif]() { throw EInvalidGraphic(gifErrorText(gif->Error)); };

  const ImageSize size{gif->SWidth, gif->SHeight};
  std::vector<GifPixelType> row;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) fail();
    switch (type) {
      case IMAGE_DESC_RECORD_TYPE: {
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) fail();
        const int width = gif->Image.Width;
        const int height = gif->Image.Height;
        if (width > 0 && height > 0) {
          row.resize(static_cast<std::size_t>(width));
          for (int y = 0; y < height; ++y)
            if (DGifGetLine(gif.get(), row.data(), width) == GIF_ERROR) fail();
        } else {
          // No pixels to decode; the compressed blocks still have to be
          // read past.
          int codeSize = 0;
          GifByteType* block = nullptr;
          if (DGifGetCode(gif.get(), &codeSize, &block) == GIF_ERROR) fail();
          while (block)
            if (DGifGetCodeNext(gif.get(), &block) == GIF_ERROR) fail();
        }
        break;
      }
      case EXTENSION_RECORD_TYPE: {
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) fail();
        while (block)
          if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) fail();
        break;
      }
      case TERMINATE_RECORD_TYPE:
        return size;
      default:
        fail();
    }
  }
}

// Whether a GIF's logical screen, global colour table and the records up
// to its first frame's descriptor read. Bytes after a GIF signature that
// are no GIF fail at the latest at the first record.
bool gifHeaderDecodes(void* userData, InputFunc read) {
  int openError = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(userData, read, &openError));
  if (!gif || gif->SWidth <= 0 || gif->SHeight <= 0) return false;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) return false;
    if (type == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif.get()) != GIF_ERROR;
    if (type != EXTENSION_RECORD_TYPE) return false;
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) return false;
    while (block)
      if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) return false;
  }
}

constexpr std::size_t kSignatureSize = 6;

// The format a file's first bytes announce.
ImageFormat signatureFormat(const unsigned char* head, std::size_t size) {
  if (size >= kSignatureSize &&
      (std::memcmp(head, "GIF87a", kSignatureSize) == 0 || std::memcmp(head, "GIF89a", kSignatureSize) == 0))
    return ImageFormat::Gif;
  if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return ImageFormat::Jpeg;
  return ImageFormat::None;
}

}  // namespace

ImageSize decodeJpegFile(const std::string& path) {
  FilePtr file = openForReading(path);
  return decodeJpeg(file.get(), nullptr, 0);
}

ImageSize decodeJpegBytes(const unsigned char* data, std::size_t size) {
  static const unsigned char kNothing = 0;
  return decodeJpeg(nullptr, data ? data : &kNothing, data ? size : 0);
}

ImageSize decodeGifFile(const std::string& path) {
  FilePtr file = openForReading(path);
  return decodeGif(file.get(), readGifFile);
}

ImageSize decodeGifBytes(const unsigned char* data, std::size_t size) {
  GifMemorySource source{data, data ? size : 0, 0};
  return decodeGif(&source, readGifMemory);
}

ImageFormat pictureFormatOfBytes(const unsigned char* data, std::size_t size) {
  if (!data) return ImageFormat::None;
  switch (signatureFormat(data, size)) {
    case ImageFormat::Gif: {
      GifMemorySource source{data, size, 0};
      return gifHeaderDecodes(&source, readGifMemory) ? ImageFormat::Gif : ImageFormat::None;
    }
    case ImageFormat::Jpeg:
      return jpegHeaderDecodes(nullptr, data, size) ? ImageFormat::Jpeg : ImageFormat::None;
    case ImageFormat::None:
      break;
  }
  return ImageFormat::None;
}

ImageFormat pictureFormatOfFile(const std::string& path) {
  // Not blocking on a pipe or a device standing under a picture's name:
  // only a regular file is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ImageFormat::None;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ImageFormat::None;
  }
  FilePtr file(::fdopen(fd, "rb"));
  if (!file) {
    ::close(fd);
    return ImageFormat::None;
  }
  unsigned char head[kSignatureSize];
  const std::size_t got = std::fread(head, 1, sizeof head, file.get());
  const ImageFormat format = signatureFormat(head, got);
  if (format == ImageFormat::None || std::fseek(file.get(), 0, SEEK_SET) != 0) return ImageFormat::None;
  if (format == ImageFormat::Gif) return gifHeaderDecodes(file.get(), readGifFile) ? format : ImageFormat::None;
  return jpegHeaderDecodes(file.get(), nullptr, 0) ? format : ImageFormat::None;
}

int exifOrientation(const unsigned char* data, std::size_t size) {
  constexpr int kUpright = 1;
  constexpr std::size_t kIdentifier = 6;  // "Exif\0\0"
  constexpr unsigned kOrientationTag = 0x0112;
  constexpr unsigned kShort = 3;
  if (!data || size < kIdentifier + 8 || std::memcmp(data, "Exif\0\0", kIdentifier) != 0) return kUpright;
  // Offsets inside the EXIF block count from the TIFF header.
  const unsigned char* tiff = data + kIdentifier;
  const std::size_t length = size - kIdentifier;
  bool bigEndian = false;
  if (tiff[0] == 'M' && tiff[1] == 'M')
    bigEndian = true;
  else if (!(tiff[0] == 'I' && tiff[1] == 'I'))
    return kUpright;
  const auto u16 = [&](std::size_t at) -> unsigned {
    return bigEndian ? (unsigned(tiff[at]) << 8) | tiff[at + 1] : (unsigned(tiff[at + 1]) << 8) | tiff[at];
  };
  const auto u32 = [&](std::size_t at) -> std::uint32_t {
    return bigEndian ? (std::uint32_t(u16(at)) << 16) | u16(at + 2) : (std::uint32_t(u16(at + 2)) << 16) | u16(at);
  };
  if (u16(2) != 42) return kUpright;
  const std::uint32_t directory = u32(4);
  if (directory < 8 || directory > length - 2) return kUpright;
  const unsigned entries = u16(directory);
  for (unsigned i = 0; i < entries; ++i) {
    const std::size_t entry = directory + 2 + std::size_t{12} * i;
    if (entry + 12 > length) return kUpright;
    if (u16(entry) != kOrientationTag) continue;
    if (u16(entry + 2) != kShort || u32(entry + 4) != 1) return kUpright;
    const unsigned value = u16(entry + 8);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : kUpright;
  }
  return kUpright;
}

bool swapsWidthAndHeight(int orientation) { return orientation >= 5 && orientation <= 8; }

ImageFormat imageFormatOf(const std::string& fileName) {
  const std::string bare = bareFileName(fileName);
  const auto dot = bare.rfind('.');
  if (dot == std::string::npos) return ImageFormat::None;
  const std::string extension = bare.substr(dot);
  if (extension == ".gif" || extension == ".GIF") return ImageFormat::Gif;
  if (extension == ".jpg" || extension == ".JPG") return ImageFormat::Jpeg;
  return ImageFormat::None;
}

std::string chooseImageFile(const std::string& folder, const std::string& name, const std::string& path) {
  if (fileExists(name)) return name;
  if (fileExists(path)) return path;
  if (fileExists(folder + name)) return folder + name;
  return {};
}

std::chrono::system_clock::time_point FileIdentity::lastChange() const {
  using namespace std::chrono;
  const auto at = [](std::int64_t s, std::int64_t ns) {
    return system_clock::time_point(duration_cast<system_clock::duration>(seconds(s) + nanoseconds(ns)));
  };
  return std::max(at(modifiedSeconds, modifiedNanoseconds), at(changedSeconds, changedNanoseconds));
}

std::optional<FileIdentity> identifyFile(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) return std::nullopt;
  struct stat st {};
  if (::stat(resolved.get(), &st) != 0) return std::nullopt;
  FileIdentity id;
  id.resolvedPath = resolved.get();
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.inode = static_cast<std::uint64_t>(st.st_ino);
  id.size = static_cast<std::int64_t>(st.st_size);
  id.modifiedSeconds = st.st_mtim.tv_sec;
  id.modifiedNanoseconds = st.st_mtim.tv_nsec;
  id.changedSeconds = st.st_ctim.tv_sec;
  id.changedNanoseconds = st.st_ctim.tv_nsec;
  return id;
}

namespace {

class LibraryDecoders : public ImageDecoders {
 public:
  ImageSize decodeGif(const std::string& path) override { return decodeGifFile(path); }
  ImageSize decodeJpeg(const std::string& path) override { return decodeJpegFile(path); }
};

}  // namespace

ImageDecoders& libraryDecoders() {
  static LibraryDecoders decoders;
  return decoders;
}

ImageProbe::ImageProbe(ImageDecoders& decoders, Clock now)
    : m_decoders(&decoders), m_now(now ? std::move(now) : Clock([] { return std::chrono::system_clock::now(); })) {}

void ImageProbe::LoadImage(std::optional<ImageSize>& probeImage, const std::string& folder, const std::string& name,
                           const std::string& path) {
  probeImage.reset();
  const std::string file = chooseImageFile(folder, name, path);
  if (file.empty()) return;
  const ImageFormat format = imageFormatOf(file);
  if (format == ImageFormat::None) return;

  // The clock is read before the file is examined, so a change made after
  // the examination is always later than the time compared against.
  const auto now = m_now();
  const std::optional<FileIdentity> identity = identifyFile(file);
  if (identity && m_last && m_last->format == format && m_last->identity == *identity) {
    probeImage = m_last->size;
    return;
  }
  m_last.reset();
  const ImageSize size = format == ImageFormat::Gif ? m_decoders->decodeGif(file) : m_decoders->decodeJpeg(file);
  probeImage = size;
  if (identity && identity->lastChange() + kSettleTime <= now) m_last = Remembered{*identity, format, size};
}

void LoadImage(std::optional<ImageSize>& probeImage, const std::string& folder, const std::string& name,
               const std::string& path) {
  ImageProbe probe;
  probe.LoadImage(probeImage, folder, name, path);
}

}  // namespace glx
