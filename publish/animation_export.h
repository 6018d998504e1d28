// Exporting one full cycle of an effect as an animated image: the applet as
// the player reads it from the HTML lines, the source of rendered steps,
// and the frame loop that feeds an encoder and writes the file. A cancelled
// or failed export leaves no file behind (the bytes go to a temporary file
// that is renamed over the target only when complete).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "publish/animation_encoder.h"

namespace glx {

// "The animation must be a .gif or a .webp file."
extern const char kAnimationTypeMessage[];

// The applet as the player gets it: its class file name, its size, the raw
// PARAM values by name in page order, and the file to load for each image
// (empty where none was found).
struct PlayerApplet {
  std::string code;
  int width = 0;
  int height = 0;
  std::vector<std::pair<std::string, std::string>> params;
  std::vector<std::string> imageFiles;

  // The value of a PARAM, empty when the applet has none.
  std::string param(const std::string& name) const;
};

// Reads the APPLET tag and its PARAM lines (the HTML builder's lines); the
// image files are left to the caller.
PlayerApplet playerAppletOf(const std::vector<std::string>& htmlLines);

// Renders the steps of one effect; the player's own step function stands
// behind it.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // Steps in one full cycle (at least 1) and the time of one step.
  virtual int cycleLength() const = 0;
  virtual int stepMs() const = 0;
  // Step `step` as width x height RGBA pixels into rgba. Throws on failure.
  virtual void renderStep(int step, unsigned char* rgba) = 0;
};

// The format a target's name calls for: ".gif" or ".webp", in any letter
// case; none for every other name.
std::optional<AnimationFormat> animationFormatOf(const std::string& path);

// Called after each frame with the frames done and the total; false cancels.
using ExportProgress = std::function<bool(int done, int total)>;

enum class ExportResult { Written, Cancelled };

// Renders steps 0 .. cycleLength-1 into one animation at path, each frame
// shown for the step time. Throws Error with a message naming the target
// when the name, the folder, the rendering or the writing fails; the
// target is then unchanged, as after a cancel.
ExportResult exportAnimation(FrameSource& source, const std::string& path, const ExportProgress& progress = {});

}  // namespace glx
