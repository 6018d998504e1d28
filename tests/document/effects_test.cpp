#include "document/effects.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace glx
