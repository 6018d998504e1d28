#include "app/preview_scale.h"

#include <algorithm>
#include <cmath>

namespace glx {

PreviewScale previewScale(int appletWidth, int appletHeight, int screenWidth, int screenHeight) {
  if (appletWidth <= 0 || appletHeight <= 0 || screenWidth <= 0 || screenHeight <= 0) return {};
  const double across = double(screenWidth) / (appletWidth + kPreviewPageMarginX);
  const double down = double(screenHeight) / (appletHeight + kPreviewPageMarginY);
  const double factor = std::max(kPreviewSmallestScale, std::min({1.0, across, down}));
  if (factor >= 1.0) return {};
  // Shrunk by less than half a percent still says it is not the full size.
  return {factor, std::min(99, int(std::lround(factor * 100)))};
}

std::string previewScaleNote(const PreviewScale& scale) {
  if (scale.percent >= 100) return std::string();
  return "shown at " + std::to_string(scale.percent) + " %";
}

}  // namespace glx
