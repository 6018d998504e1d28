// Animated image encoders: whole frames in, the bytes of an animated GIF or
// WebP out. Pure C++ over RGBA buffers, no window and no web view, so the
// encoders are tested and measured on their own. Colour reduction for GIF
// is libimagequant's (palettes from sampled histograms, shared by
// neighbouring frames while they fit, frames remapped with dithering), GIF
// writing giflib's, WebP libwebp's (frames encoded at quality 90, put
// together by its mux). Both animations loop forever and keep one frame
// per step.
#pragma once

#include <memory>
#include <string>

#include "platform/errors.h"

namespace glx {

enum class AnimationFormat { Gif, Webp };

// A failure of an encoder library, with its own text.
class EAnimationError : public Error {
 public:
  using Error::Error;
};

class AnimationEncoder {
 public:
  virtual ~AnimationEncoder() = default;
  // One frame of width x height RGBA pixels, rows top to bottom, shown for
  // the encoder's frame time. Alpha is ignored: frames are opaque.
  virtual void addFrame(const unsigned char* rgba) = 0;
  // The finished file's bytes; no frame may follow.
  virtual std::string finish() = 0;
};

// frameMs is each frame's display time. GIF keeps it in 10 ms units,
// rounded to the nearest (at least one unit).
std::unique_ptr<AnimationEncoder> makeAnimationEncoder(AnimationFormat format, int width, int height,
                                                       int frameMs);

// A GIF frame delay in hundredths of a second.
int gifDelayUnits(int frameMs);

}  // namespace glx
