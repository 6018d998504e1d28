// How the preview fits an applet into its screen: an applet that fits is
// shown as it is; a larger one is shrunk, keeping its shape, until the
// whole page fits without scroll bars, and the preview says by how much.
#pragma once

#include <string>

namespace glx {

// The test page's own space around the applet, in page pixels: the body's
// margins on each side, and above and below also the paragraph's margins
// and the line's room under the applet; with a pixel or two for rounding.
inline constexpr int kPreviewPageMarginX = 20;
inline constexpr int kPreviewPageMarginY = 56;
// The web view shows a page at a quarter of its size at the least.
inline constexpr double kPreviewSmallestScale = 0.25;

struct PreviewScale {
  double factor = 1.0;  // the page's zoom
  int percent = 100;    // the factor in percent, as said: 100 only when not shrunk
  bool operator==(const PreviewScale&) const = default;
};

// The scale for an applet of appletWidth x appletHeight on a screen of
// screenWidth x screenHeight; 100 % when either is unknown (0 or less).
PreviewScale previewScale(int appletWidth, int appletHeight, int screenWidth, int screenHeight);

// "shown at 52 %"; empty at 100 %.
std::string previewScaleNote(const PreviewScale& scale);

}  // namespace glx
