// The fixed catalogue of the twenty effects, indexed by effectIndex.
#pragma once

#include <array>

namespace glx {

struct AppletDocument;

struct EffectEntry {
  const char* displayName;  // text of the row in the effect list
  const char* classFile;
  int speed;
  int frames;
  int variant;  // kKeepVariant: the row leaves effectVariant unchanged
  int constant;
  bool multiImage;
  bool needsTwoImages;  // the browser test run refuses fewer than two images
};

inline constexpr int kKeepVariant = -1;
inline constexpr int kEffectCount = 20;

extern const std::array<EffectEntry, kEffectCount> kEffects;

// Whether the effect shows "Effect Speed" (true) or "Number of Frames".
// Indexes below 4 and 17 show the speed; an index outside the table counts
// as below 4.
bool effectShowsSpeed(int effectIndex);

bool isValidEffectIndex(int effectIndex);

// Said in the effect settings while showsFirstImageOnly holds.
inline constexpr const char* kFirstImageOnlyNote = "The effect you have selected shows the first image only.";

// Whether the chosen effect plays one image while the document holds
// several: the applet then shows the first and ignores the rest. Follows
// the document's multiImage, which an index outside the table leaves as
// the previous effect set it.
bool showsFirstImageOnly(const AppletDocument& document);

// Sets the document's effect index and, for an index inside the table, the
// fields its row carries (class file, speed, frames, variant unless the row
// keeps it, constant, multi-image). Moves no class file.
void applyEffectRow(AppletDocument& document, int effectIndex);

}  // namespace glx
