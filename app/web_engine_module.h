// The web view parts of the program (the live preview and the rendering of
// exported frames) live in a module of their own, loaded on first use, so
// that starting the program does not pay for loading the web engine. This
// header is all the program sees of it: no web engine type appears here.
#pragma once

#include <QVariant>
#include <functional>
#include <memory>
#include <string>

#include "publish/animation_export.h"

class QWidget;

namespace glx {

// A web view that plays one page of the player.
class PlayerView {
 public:
  virtual ~PlayerView() = default;
  virtual QWidget* widget() = 0;
  // Shows the page file; the page shown before stays on screen until the
  // new one has loaded.
  virtual void showPage(const std::string& pagePath) = 0;
  // A page that is not playing is frozen: no script and no timer runs.
  virtual void setPlaying(bool playing) = 0;
  virtual bool isPlaying() const = 0;
  // The page's zoom (1 is its own size), kept for the pages shown later.
  virtual void setZoom(double factor) = 0;
  // Runs a script in the page and hands its result on (the pixels of a
  // canvas, the state of the page).
  virtual void runScript(const std::string& script, std::function<void(const QVariant&)> done) = 0;

  // Set by the owner. A navigation away from the page, refused: where a
  // click on the applet's link would have gone.
  std::function<void(const std::string& url)> onLinkRefused;
  // The page has loaded (true) or failed to (false).
  std::function<void(bool ok)> onLoaded;
};

struct WebEngineModule {
  // A view under parent that loads only files inside folder (with "/")
  // and never reaches the network.
  PlayerView* (*createPlayerView)(QWidget* parent, const std::string& folder);
  // Loads the player script with the applet's images in a page of its own
  // (no window) and returns the source of its rendered steps once the
  // player has made its renderer. Throws std::exception with the reason.
  FrameSource* (*createFrameSource)(const PlayerApplet& applet, const std::string& playerScript);
};

// "The web view could not be loaded: %s"
extern const char kWebEngineMissingMessage[];

// The web engine's command-line flags: the given ones (from
// QTWEBENGINE_CHROMIUM_FLAGS) with ours added where the given ones do not
// name the same flag: no WebRTC UDP and no QUIC, a log of fatal errors only,
// and for root the --no-sandbox the engine needs to start.
std::string webEngineFlags(const std::string& given, bool root);

// Loads the module on first call (beside the executable); later calls
// return the same one. Before loading it, the web engine's flags are set
// (webEngineFlags). Throws Error when the module cannot be loaded.
const WebEngineModule& webEngineModule();

// The name the module's entry point is exported under.
inline constexpr const char* kWebEngineModuleEntry = "glimmeraxWebEngineModule";

}  // namespace glx
