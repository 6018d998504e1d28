#include "document/effects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/applet_document.h"

namespace glx {
namespace {

AppletDocument withVariant(int variant) {
  AppletDocument d;
  d.effectVariant = variant;
  d.appletClass = "before.class";
  return d;
}

TEST(Effects, ApplyingARowSetsItsFields) {
  for (int i = 0; i < kEffectCount; ++i) {
    const EffectEntry& row = kEffects[static_cast<size_t>(i)];
    AppletDocument d = withVariant(9);
    applyEffectRow(d, i);
    EXPECT_EQ(d.effectIndex, i);
    EXPECT_EQ(d.appletClass, row.classFile) << row.displayName;
    EXPECT_EQ(d.effectSpeed, row.speed) << row.displayName;
    EXPECT_EQ(d.frameCount, row.frames) << row.displayName;
    EXPECT_EQ(d.effectConstant, row.constant) << row.displayName;
    EXPECT_EQ(d.multiImage, row.multiImage) << row.displayName;
    EXPECT_EQ(d.effectVariant, row.variant == kKeepVariant ? 9 : row.variant) << row.displayName;
  }
}

TEST(Effects, AnIndexOutsideTheTableSetsOnlyTheIndex) {
  for (const int index : {-1, kEffectCount, 1000}) {
    AppletDocument d = withVariant(9);
    const AppletDocument before = d;
    applyEffectRow(d, index);
    EXPECT_EQ(d.effectIndex, index);
    EXPECT_EQ(d.appletClass, before.appletClass) << index;
    EXPECT_EQ(d.effectSpeed, before.effectSpeed) << index;
    EXPECT_EQ(d.frameCount, before.frameCount) << index;
    EXPECT_EQ(d.effectConstant, before.effectConstant) << index;
    EXPECT_EQ(d.multiImage, before.multiImage) << index;
    EXPECT_EQ(d.effectVariant, 9) << index;
  }
}

// The effects that play one image, as the catalogue marks them; the note
// about the first image follows them once the document holds two images.
TEST(Effects, OneImageEffectWithSeveralImagesShowsTheFirstOnly) {
  struct Case {
    const char* name;
    std::vector<int> effects;  // chosen in turn; the last one counts
    size_t images;
    bool firstOnly;
  };
  const Case cases[] = {
      {"Hue Rotator, two images", {1}, 2, true},
      {"Drain, three images", {6}, 3, true},
      {"Color Layers, two images", {19}, 2, true},
      {"Hue Rotator, one image", {1}, 1, false},
      {"Hue Rotator, no image", {1}, 0, false},
      {"Image Cross Fade, two images", {0}, 2, false},
      {"Color Extractor, two images", {2}, 2, false},
      {"Page Flip, two images", {3}, 2, false},
      {"Emboss, two images", {13}, 2, false},
      // An index outside the table keeps the previous effect's rule.
      {"bad index after Zoom", {18, -1}, 2, true},
      {"bad index after Page Flip", {3, -1}, 2, false},
  };
  for (const Case& c : cases) {
    AppletDocument d;
    for (const int effect : c.effects) applyEffectRow(d, effect);
    for (size_t i = 0; i < c.images; ++i) {
      d.imageNames.push_back("p" + std::to_string(i) + ".gif");
      d.imagePaths.push_back("/pictures/p" + std::to_string(i) + ".gif");
    }
    EXPECT_EQ(showsFirstImageOnly(d), c.firstOnly) << c.name;
  }
  int oneImage = 0;
  for (const EffectEntry& row : kEffects) oneImage += row.multiImage ? 0 : 1;
  EXPECT_EQ(oneImage, 16);  // all but Image Cross Fade, Color Extractor, Page Flip and Emboss
  EXPECT_STREQ(kFirstImageOnlyNote, "The effect you have selected shows the first image only.");
}

}  // namespace
}  // namespace glx
