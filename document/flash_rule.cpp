#include "document/flash_rule.h"

#include <algorithm>
#include <cstdint>

#include "document/applet_document.h"

namespace glx {

const char kFlashWarning[] = "This setting flashes more than three times a second, which can trigger seizures.";

namespace {

// Catalogue rows whose picture as a whole changes its brightness or colour.
constexpr int kHueRotator = 1;
constexpr int kColorExtractor = 2;
constexpr int kLineCrossFade = 10;
constexpr int kEmboss = 13;
constexpr int kImageLayer = 14;

// The player's limits.
int limited(int value, int low, int high) { return std::clamp(value, low, high); }

// More than three flashes in a second: `flashes` flashes every `steps`
// steps of `constant` ms each. Exact integer arithmetic, so a setting right
// at three a second does not warn.
bool moreThanThreeASecond(std::int64_t flashes, std::int64_t steps, std::int64_t constant) {
  return flashes * 1000 > 3 * steps * constant;
}

}  // namespace

// A flash is a pair of opposite changes of the whole picture's brightness
// (or of a saturated red). The count follows each effect's cycle as the
// player draws it:
// - Color Extractor: full colour, red part, green part, blue part, full
//   colour, each change in T = ceil(100 / speed) steps: dark, light, dark,
//   light, so two flashes every 4T steps. Speed 100 flashes 15 times a
//   second.
// - Hue Rotator: the hues turn `speed` degrees a step; every full turn takes
//   each colour through red and back: one flash per 360 / speed steps.
// - Line Cross Fade: the picture dissolves into the background colour and
//   comes back once in `frames` steps; Image Layer drops to its darkest
//   layer and builds up again once in `frames` steps; Emboss turns the
//   picture into a grey relief and back once in `frames` steps. One flash
//   per `frames` steps; fewer than 2 frames stand still.
// Left out on purpose, to warn only where the whole picture alternates:
// Noise (fine grain whose mean brightness stays put, however fast it is
// renewed), the cross fade and page flip (each picture stands for a second),
// and the movements (waves, ripples, twists, rotation, zoom, stretching,
// colour layers), which move the picture's parts rather than change its
// brightness.
bool effectFlashes(int effectIndex, int speed, int frames, int constant) {
  const std::int64_t s = limited(speed, 0, 100);
  const std::int64_t f = limited(frames, 0, 10000);
  const std::int64_t c = limited(constant, 10, 1000);
  switch (effectIndex) {
    case kColorExtractor: {
      if (s == 0) return false;
      const std::int64_t t = (100 + s - 1) / s;
      return moreThanThreeASecond(2, 4 * t, c);
    }
    case kHueRotator:
      // One turn every 360 / s steps.
      return s > 0 && moreThanThreeASecond(s, 360, c);
    case kLineCrossFade:
    case kImageLayer:
    case kEmboss:
      return f >= 2 && moreThanThreeASecond(1, f, c);
    default:
      return false;
  }
}

bool effectFlashes(const AppletDocument& document) {
  return effectFlashes(document.effectIndex, document.effectSpeed, document.frameCount, document.effectConstant);
}

}  // namespace glx
