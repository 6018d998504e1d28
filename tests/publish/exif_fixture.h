// EXIF blocks as cameras write them, put into a JPEG made by the test: an
// APP1 segment right after the start-of-image marker, holding "Exif\0\0",
// a TIFF header in either byte order and a first directory with an
// Orientation entry. Byte surgery only, so any test can use it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace glx::test {

struct ExifOptions {
  int orientation = 1;
  bool bigEndian = false;
  // Entries before the orientation, so that it is not the first one.
  int entriesBefore = 1;
};

// The bytes of an APP1 payload: "Exif\0\0" and a TIFF block.
inline std::string exifPayload(const ExifOptions& options) {
  std::string tiff;
  const auto put16 = [&](unsigned v) {
    if (options.bigEndian) {
      tiff += static_cast<char>((v >> 8) & 0xFF);
      tiff += static_cast<char>(v & 0xFF);
    } else {
      tiff += static_cast<char>(v & 0xFF);
      tiff += static_cast<char>((v >> 8) & 0xFF);
    }
  };
  const auto put32 = [&](std::uint32_t v) {
    if (options.bigEndian) {
      put16(v >> 16);
      put16(v & 0xFFFF);
    } else {
      put16(v & 0xFFFF);
      put16(v >> 16);
    }
  };
  tiff += options.bigEndian ? "MM" : "II";
  put16(42);
  put32(8);  // the first directory right after the header
  put16(static_cast<unsigned>(options.entriesBefore + 1));
  for (int i = 0; i < options.entriesBefore; ++i) {  // ImageWidth, a LONG
    put16(0x0100);
    put16(4);
    put32(1);
    put32(320);
  }
  put16(0x0112);  // Orientation, one SHORT, left-justified in the value field
  put16(3);
  put32(1);
  put16(static_cast<unsigned>(options.orientation));
  put16(0);
  put32(0);  // no next directory
  return std::string("Exif\0\0", 6) + tiff;
}

// The JPEG with an APP1 segment of this payload right after its SOI marker.
inline std::string withApp1(const std::string& jpeg, const std::string& payload) {
  if (jpeg.size() < 2 || static_cast<unsigned char>(jpeg[0]) != 0xFF || static_cast<unsigned char>(jpeg[1]) != 0xD8)
    throw std::runtime_error("not a JPEG");
  const std::size_t length = payload.size() + 2;
  if (length > 0xFFFF) throw std::runtime_error("APP1 too long");
  std::string segment = "\xFF\xE1";
  segment += static_cast<char>(length >> 8);
  segment += static_cast<char>(length & 0xFF);
  return jpeg.substr(0, 2) + segment + payload + jpeg.substr(2);
}

inline std::string withExifOrientation(const std::string& jpeg, int orientation, bool bigEndian = false) {
  return withApp1(jpeg, exifPayload({orientation, bigEndian}));
}

}  // namespace glx::test
