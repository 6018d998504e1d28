// Exporting one full cycle of the applet's effect as an animated GIF or
// WebP: the File menu's "&Export Animation..." and the command line's
// "glimmerax --export-animation PROJECT.glx OUT.gif|OUT.webp", which needs
// no window and no display and changes neither the settings nor the usage
// log.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "document/applet_document.h"
#include "platform/user_dialogs.h"

namespace glx {

inline constexpr const char* kExportAnimationOption = "--export-animation";
extern const char kExportUsage[];
extern const char kExportFilter[];

// What the window command shows while the frames are made.
class ExportProgressView {
 public:
  virtual ~ExportProgressView() = default;
  // The export starts (its player is loading) and ends.
  virtual void beginExport() = 0;
  virtual void endExport() = 0;
  // After each frame; false when the user cancelled.
  virtual bool exportProgress(int done, int total) = 0;
  // True once the user has cancelled.
  virtual bool exportCancelled() = 0;
};

// The window command: messages of the HTML build stop it, the target comes
// from the save dialog, the frames are made with the progress view up.
// Throws Error when the player or the writing fails (nothing is left).
void exportAnimationFromWindow(const AppletDocument& document, const std::string& playerScript,
                               UserDialogs& dialogs, ExportProgressView& progress);

// The command line's export: 0 when written, 1 with the reason on err.
int exportProjectAnimation(const std::string& projectPath, const std::string& target,
                           const std::string& playerScript, std::ostream& out, std::ostream& err);

// The command line's answer when its first argument is --export-animation;
// none for every other command line. Makes its own application on the
// offscreen platform: main() calls it before making one.
std::optional<int> exportAnimationCommand(int argc, char** argv);

}  // namespace glx
