// The image probe: finds the document's first image on disk and reads its
// pixel size, which becomes the applet's width and height. The decoders only
// report a size or fail; they take a file or a byte buffer.
#pragma once

#include <cstddef>
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

// A JPEG's frame size. Every entropy-coded byte is decoded and checked, so a
// damaged file fails even though only the size is wanted; libjpeg's warnings
// about corrupt data fail like its errors. Throws EInvalidGraphic, or
// EInOutError when the file cannot be opened.
ImageSize decodeJpegFile(const std::string& path);
ImageSize decodeJpegBytes(const unsigned char* data, std::size_t size);

// A GIF's logical screen size (not its first frame's). Every frame is
// decompressed to check it. Throws EInvalidGraphic, or EInOutError when the
// file cannot be opened.
ImageSize decodeGifFile(const std::string& path);
ImageSize decodeGifBytes(const unsigned char* data, std::size_t size);

enum class ImageFormat { None, Gif, Jpeg };

// The decoder a file name calls for, by the text from its last "." on,
// compared exactly: ".gif" and ".GIF" are GIF, ".jpg" and ".JPG" JPEG, any
// other extension (".Gif", ".jpeg", ".png", none) None.
ImageFormat imageFormatOf(const std::string& fileName);

// The file the probe reads: name if such a file exists (a bare name is
// looked up in the current folder), else path, else folder + name; empty
// when none exists.
std::string chooseImageFile(const std::string& folder, const std::string& name,
                            const std::string& path);

// Replaces probeImage on every call: the size of the chosen file, or none
// when no file exists or its extension is not accepted. A decoder failure
// leaves probeImage none and propagates the decoder's exception.
void LoadImage(std::optional<ImageSize>& probeImage, const std::string& folder,
               const std::string& name, const std::string& path);

}  // namespace glx
