// The module's one entry point, resolved by name when the program loads it.
#include "app/web_engine_module.h"

namespace glx {
PlayerView* createWebPlayerView(QWidget* parent, const std::string& folder);
FrameSource* createPlayerFrameSource(const PlayerApplet& applet, const std::string& playerScript);
}  // namespace glx

extern "C" Q_DECL_EXPORT const glx::WebEngineModule* glimmeraxWebEngineModule() {
  static const glx::WebEngineModule module{&glx::createWebPlayerView, &glx::createPlayerFrameSource};
  return &module;
}
