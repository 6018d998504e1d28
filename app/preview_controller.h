// When the live preview rebuilds its page and when it plays. It follows the
// document by comparing a fingerprint of everything the page is built from
// (taken a few times a second while the page is shown, so edits from any
// window count) and rebuilds once the edits have paused; a page that is
// not shown is never rebuilt and does not play. No widget code: the page
// and its building come in through PreviewScreen and two functions.
#pragma once

#include <QTimer>
#include <functional>
#include <string>

namespace glx {

class PreviewScreen {
 public:
  virtual ~PreviewScreen() = default;
  virtual void showPreviewPage(const std::string& pagePath) = 0;
  virtual void setPreviewPlaying(bool playing) = 0;
};

class PreviewController {
 public:
  // The quiet time after the last change before the page is rebuilt, and
  // how often the document is looked at while the page is shown: together
  // under half a second.
  static constexpr int kDebounceMs = 300;
  static constexpr int kPollMs = 100;

  // fingerprint: a text that changes whenever the page would; buildPage:
  // writes the page and returns its path (never throws: failures become a
  // page with the message).
  PreviewController(PreviewScreen& screen, std::function<std::string()> fingerprint,
                    std::function<std::string()> buildPage);

  // The page became visible (builds it at once when it is out of date, then
  // plays) or hidden (stops playing and looking).
  void setShown(bool shown);
  bool shown() const { return m_shown; }

  // Looks at the document now; a change (re)starts the quiet time.
  void poll();
  // A rebuild is waiting for the quiet time to end.
  bool refreshPending() const { return m_debounce.isActive(); }
  // Rebuilds now.
  void refresh();
  int refreshCount() const { return m_refreshes; }

 private:
  PreviewScreen& m_screen;
  std::function<std::string()> m_fingerprint;
  std::function<std::string()> m_buildPage;
  QTimer m_poll;
  QTimer m_debounce;
  bool m_shown = false;
  bool m_built = false;
  std::string m_builtFrom;  // fingerprint of the page on screen
  std::string m_seen;       // fingerprint last looked at
  int m_refreshes = 0;
};

}  // namespace glx
