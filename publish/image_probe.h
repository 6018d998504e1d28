// The image probe: finds the document's first image on disk and reads its
// pixel size, which becomes the applet's width and height. The decoders only
// report a size or fail; they take a file or a byte buffer.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/errors.h"

namespace glx {

struct ImageSize {
  int width = 0;
  int height = 0;
};

// An image its decoder could not read. what() is the decoder library's own
// message ("Premature end of JPEG file", "Data is not in GIF format", ...).
class EInvalidGraphic : public Error {
 public:
  using Error::Error;
};

// A JPEG's size as browsers show it: its frame size, with width and height
// swapped when its EXIF orientation turns the picture a quarter (5 to 8).
// Browsers draw a photograph upright, so a portrait photo from a phone,
// stored 320 x 200 with orientation 6, is shown 200 x 320; an applet sized
// by the frame would squash it. Every entropy-coded byte is decoded and
// checked, so a damaged file fails even though only the size is wanted;
// libjpeg's warnings about corrupt data fail like its errors. A damaged or
// missing EXIF block only means no turn. Throws EInvalidGraphic, or
// EInOutError when the file cannot be opened.
ImageSize decodeJpegFile(const std::string& path);
ImageSize decodeJpegBytes(const unsigned char* data, std::size_t size);

// The EXIF orientation (1 to 8) in the bytes of an APP1 segment (from its
// "Exif" identifier on, without the marker and length): TIFF header in
// either byte order, the first directory's Orientation entry (a single
// SHORT). 1, upright, for anything else: not EXIF, cut short, offsets out of
// the block, no entry, a value outside 1..8.
int exifOrientation(const unsigned char* data, std::size_t size);

// Whether a picture of this orientation is shown turned a quarter, its
// width and height swapped (5 to 8).
bool swapsWidthAndHeight(int orientation);

// A GIF's logical screen size (not its first frame's). Every frame is
// decompressed to check it. Throws EInvalidGraphic, or EInOutError when the
// file cannot be opened.
ImageSize decodeGifFile(const std::string& path);
ImageSize decodeGifBytes(const unsigned char* data, std::size_t size);

enum class ImageFormat { None, Gif, Jpeg };

// What a picture is by its content, whatever its name: a GIF (signature
// "GIF87a" or "GIF89a") whose logical screen, colour table and records up
// to its first frame's descriptor read, or a
// JPEG (FF D8 FF) whose header up to its first scan decodes. None for
// anything else, a damaged header included. Only the header is read, so a
// large photo costs little. The file form reads from the file as the
// decoders do and gives None when it cannot be opened.
ImageFormat pictureFormatOfBytes(const unsigned char* data, std::size_t size);
ImageFormat pictureFormatOfFile(const std::string& path);

// The decoder a file name calls for, by the text from its last "." on,
// compared exactly: ".gif" and ".GIF" are GIF, ".jpg" and ".JPG" JPEG, any
// other extension (".Gif", ".jpeg", ".png", none) None.
ImageFormat imageFormatOf(const std::string& fileName);

// The file the probe reads: name if such a file exists (a bare name is
// looked up in the current folder), else path, else folder + name; empty
// when none exists.
std::string chooseImageFile(const std::string& folder, const std::string& name,
                            const std::string& path);

// What tells one state of a file from another without reading it: where it
// really is (links and "." resolved), which file it is on which device, its
// size, and its modification and status-change times to the nanosecond. The
// status-change time cannot be set back by a program, so a rewrite that
// restores the old modification time still shows.
struct FileIdentity {
  std::string resolvedPath;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedSeconds = 0, modifiedNanoseconds = 0;
  std::int64_t changedSeconds = 0, changedNanoseconds = 0;

  bool operator==(const FileIdentity&) const = default;
  // The later of the two times.
  std::chrono::system_clock::time_point lastChange() const;
};

// None when the file cannot be examined.
std::optional<FileIdentity> identifyFile(const std::string& path);

// The decoders the probe calls, behind an interface so that a test can
// count the decodes.
class ImageDecoders {
 public:
  virtual ~ImageDecoders() = default;
  virtual ImageSize decodeGif(const std::string& path) = 0;
  virtual ImageSize decodeJpeg(const std::string& path) = 0;
};

// decodeGifFile and decodeJpegFile.
ImageDecoders& libraryDecoders();

// The image probe with a memory of its last result. A camera photo takes a
// tenth of a second to check, and the probe runs on every HTML build, so an
// unchanged first image is not decoded again: the size is reused while the
// file's identity is what it was. Any change, or another file, decodes
// afresh, so a file damaged since is still reported. Failures are never
// remembered.
//
// File times tick coarsely (a few milliseconds here, two seconds on FAT), so
// a file rewritten within one tick of the last decode could keep its times.
// A result is therefore only remembered for a file whose last change is at
// least kSettleTime old when it is decoded.
class ImageProbe {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;
  static constexpr std::chrono::seconds kSettleTime{3};

  explicit ImageProbe(ImageDecoders& decoders = libraryDecoders(), Clock now = {});

  // Replaces probeImage on every call: the size of the chosen file, or none
  // when no file exists or its extension is not accepted. A decoder failure
  // leaves probeImage none and propagates the decoder's exception.
  void LoadImage(std::optional<ImageSize>& probeImage, const std::string& folder, const std::string& name,
                 const std::string& path);

 private:
  struct Remembered {
    FileIdentity identity;
    ImageFormat format;
    ImageSize size;
  };

  ImageDecoders* m_decoders;
  Clock m_now;
  std::optional<Remembered> m_last;
};

// The probe without memory: decodes the chosen file on every call.
void LoadImage(std::optional<ImageSize>& probeImage, const std::string& folder,
               const std::string& name, const std::string& path);

}  // namespace glx
