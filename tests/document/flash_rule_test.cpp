#include "document/flash_rule.h"

#include <gtest/gtest.h>

#include "document/applet_document.h"
#include "document/effects.h"

namespace glx {
namespace {

// Each case names the setting and the flashes a second it gives.
TEST(FlashRule, WarnsAboveThreeFlashesASecond) {
  struct Case {
    const char* name;
    int effect, speed, frames, constant;
    bool flashes;
  };
  const Case cases[] = {
      // Color Extractor: two flashes every 4 x ceil(100 / speed) steps.
      {"Color Extractor speed 100: 15.2 a second", 2, 100, 40, 33, true},
      {"Color Extractor speed 20: 3.03", 2, 20, 40, 33, true},
      {"Color Extractor speed 19 (6 steps a change): 2.5", 2, 19, 40, 33, false},
      {"Color Extractor default speed 2", 2, 2, 40, 33, false},
      {"Color Extractor speed 0 stands still", 2, 0, 40, 33, false},
      {"Color Extractor speed 100 at 200 ms a step: 2.5", 2, 100, 40, 200, false},
      // Hue Rotator: one flash per full turn.
      {"Hue Rotator speed 36: 3.03 turns a second", 1, 36, 40, 33, true},
      {"Hue Rotator speed 35: 2.95", 1, 35, 40, 33, false},
      {"Hue Rotator default speed 2", 1, 2, 40, 33, false},
      {"Hue Rotator speed 100", 1, 100, 40, 33, true},
      // Line Cross Fade, Image Layer, Emboss: one flash per cycle of frames.
      {"Line Cross Fade 2 frames: 15.2", 10, 2, 2, 33, true},
      {"Line Cross Fade 10 frames: 3.03", 10, 2, 10, 33, true},
      {"Line Cross Fade 11 frames: 2.75", 10, 2, 11, 33, false},
      {"Line Cross Fade 1 frame stands still", 10, 2, 1, 33, false},
      {"Line Cross Fade 0 frames stands still", 10, 2, 0, 33, false},
      {"Line Cross Fade default 100 frames", 10, 2, 100, 33, false},
      {"Image Layer 2 frames", 14, 1, 2, 33, true},
      {"Image Layer default 50 frames", 14, 1, 50, 33, false},
      {"Emboss 4 frames at 70 ms: 3.57", 13, 1, 4, 70, true},
      {"Emboss 5 frames at 70 ms: 2.86", 13, 1, 5, 70, false},
      {"Hue Rotator speed 54 at 50 ms: exactly 3 turns a second", 1, 54, 40, 50, false},
      {"Hue Rotator speed 55 at 50 ms: 3.06", 1, 55, 40, 50, true},
      {"Line Cross Fade 2 frames at 166 ms: 3.01", 10, 2, 2, 166, true},
      {"Line Cross Fade 2 frames at 167 ms: 2.99", 10, 2, 2, 167, false},
      // Effects that do not alternate the whole picture.
      {"Noise default: renewed 15 times a second", 17, 30, 2, 33, false},
      {"Noise at full speed, 1 frame", 17, 100, 1, 33, false},
      {"Image Cross Fade at full speed", 0, 100, 40, 33, false},
      {"Page Flip at full speed", 3, 100, 40, 50, false},
      {"Rotate 2 frames", 16, 1, 2, 33, false},
      {"Vertical Waves 2 frames", 8, 2, 2, 33, false},
      {"Color Layers 2 frames", 19, 1, 2, 33, false},
      // Values as the player limits them.
      {"speed above 100 is 100", 2, 500, 40, 33, true},
      {"negative speed is 0", 2, -5, 40, 33, false},
      {"step time below 10 ms is 10: 40 frames give 2.5", 10, 2, 40, 5, false},
      {"no effect selected", -1, 100, 2, 33, false},
      {"index past the table", 20, 100, 2, 33, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(effectFlashes(c.effect, c.speed, c.frames, c.constant), c.flashes) << c.name;
}

// No effect flashes at the values its catalogue row sets.
TEST(FlashRule, NoEffectFlashesAtItsDefaults) {
  for (int index = 0; index < kEffectCount; ++index) {
    AppletDocument document;
    applyEffectRow(document, index);
    EXPECT_FALSE(effectFlashes(document)) << kEffects[static_cast<size_t>(index)].displayName;
  }
}

TEST(FlashRule, ReadsTheDocumentsEffectSpeedFramesAndConstant) {
  AppletDocument document;
  applyEffectRow(document, 2);  // Color Extractor
  document.effectSpeed = 100;
  EXPECT_TRUE(effectFlashes(document));
  document.effectConstant = 200;
  EXPECT_FALSE(effectFlashes(document));
  applyEffectRow(document, 14);  // Image Layer
  document.frameCount = 2;
  EXPECT_TRUE(effectFlashes(document));
}

}  // namespace
}  // namespace glx
