#include "document/effects.h"

#include "document/applet_document.h"

namespace glx {

// Columns: displayName, classFile, speed, frames, variant, constant,
// multiImage, needsTwoImages.
const std::array<EffectEntry, kEffectCount> kEffects = {{
    {"Image Cross Fade", "fade.class", 1, 40, kKeepVariant, 33, true, true},
    {"Hue Rotator", "huecycle.class", 2, 40, kKeepVariant, 33, false, false},
    {"Color Extractor", "colorwarp.class", 2, 40, 0, 33, true, false},
    {"Page Flip", "pageflip.class", 1, 40, kKeepVariant, 50, true, true},
    {"Underwater", "underwater.class", 2, 40, kKeepVariant, 33, false, false},
    {"Quad Pool", "warp.class", 2, 40, 0, 33, false, false},
    {"Drain", "warp.class", 2, 80, 1, 33, false, false},
    {"Horizontal Waves", "warp.class", 2, 50, 3, 33, false, false},
    {"Vertical Waves", "warp.class", 2, 50, 2, 33, false, false},
    {"Dual Waves", "warp.class", 2, 50, 4, 33, false, false},
    {"Line Cross Fade", "warp.class", 2, 100, 5, 33, false, false},
    {"Stretcher", "warp.class", 2, 100, 6, 33, false, false},
    {"Whirlpool", "warp.class", 2, 20, 7, 50, false, false},
    {"Emboss", "colorwarp.class", 1, 20, 1, 70, true, false},
    {"Image Layer", "colorwarp.class", 1, 50, 2, 33, false, false},
    {"Ripple", "warp.class", 1, 25, 8, 33, false, false},
    {"Rotate", "warp.class", 1, 50, 9, 33, false, false},
    {"Noise", "warp.class", 30, 2, 10, 33, false, false},
    {"Zoom", "warp.class", 1, 150, 11, 33, false, false},
    {"Color Layers", "colorwarp.class", 1, 100, 3, 33, false, false},
}};

bool isValidEffectIndex(int effectIndex) { return effectIndex >= 0 && effectIndex < kEffectCount; }

bool effectShowsSpeed(int effectIndex) { return effectIndex < 4 || effectIndex == 17; }

bool showsFirstImageOnly(const AppletDocument& document) {
  return !document.multiImage && document.imageNames.size() > 1;
}

void applyEffectRow(AppletDocument& document, int effectIndex) {
  document.effectIndex = effectIndex;
  if (!isValidEffectIndex(effectIndex)) return;
  const EffectEntry& row = kEffects[static_cast<size_t>(effectIndex)];
  document.appletClass = row.classFile;
  document.effectSpeed = row.speed;
  if (row.variant != kKeepVariant) document.effectVariant = row.variant;
  document.frameCount = row.frames;
  document.effectConstant = row.constant;
  document.multiImage = row.multiImage;
}

}  // namespace glx
