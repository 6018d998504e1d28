// Files that pass the picture check (a GIF signature and a logical screen
// that reads) with contents a test can tell apart: for tests about copying
// and listing images, where the pixels do not matter.
#pragma once

#include <string>

namespace glx::test {

// "GIF89a", a 1 x 1 logical screen without a colour table, the descriptor
// of a 1 x 1 frame and its code size, then tail.
inline std::string pictureBytes(const std::string& tail) {
  return std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00" ",\x00\x00\x00\x00\x01\x00\x01\x00\x00" "\x02", 24) + tail;
}

}  // namespace glx::test
