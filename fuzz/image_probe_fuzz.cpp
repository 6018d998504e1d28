// Image bytes of any kind through both decoders: each gives a size or
// EInvalidGraphic, never a crash. A JPEG frame has at least one pixel each
// way; a GIF's logical screen may be empty.
#include <cstdint>
#include <cstdlib>

#include "publish/image_probe.h"

namespace {

template <class Decode>
void probe(Decode decode, int least, const uint8_t* data, size_t size) {
  try {
    const glx::ImageSize s = decode(data, size);
    if (s.width < least || s.height < least || s.width > 65535 || s.height > 65535) std::abort();
  } catch (const glx::EInvalidGraphic&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  probe(glx::decodeJpegBytes, 1, data, size);
  probe(glx::decodeGifBytes, 0, data, size);
  return 0;
}
