#include "app/preview_controller.h"

namespace glx {

PreviewController::PreviewController(PreviewScreen& screen, std::function<std::string()> fingerprint,
                                     std::function<std::string()> buildPage)
    : m_screen(screen), m_fingerprint(std::move(fingerprint)), m_buildPage(std::move(buildPage)) {
  m_poll.setInterval(kPollMs);
  QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
  m_debounce.setSingleShot(true);
  m_debounce.setInterval(kDebounceMs);
  QObject::connect(&m_debounce, &QTimer::timeout, [this] { refresh(); });
}

void PreviewController::setShown(bool shown) {
  if (shown == m_shown) return;
  m_shown = shown;
  if (!shown) {
    m_poll.stop();
    m_debounce.stop();
    m_screen.setPreviewPlaying(false);
    return;
  }
  m_seen = m_fingerprint();
  if (!m_built || m_seen != m_builtFrom) refresh();
  m_screen.setPreviewPlaying(true);
  m_poll.start();
}

void PreviewController::poll() {
  if (!m_shown) return;
  std::string now = m_fingerprint();
  if (now == m_seen) return;
  m_seen = std::move(now);
  if (m_built && m_seen == m_builtFrom) {
    m_debounce.stop();  // changed and changed back
    return;
  }
  m_debounce.start();
}

void PreviewController::refresh() {
  m_debounce.stop();
  m_builtFrom = m_fingerprint();
  m_seen = m_builtFrom;
  m_built = true;
  ++m_refreshes;
  m_screen.showPreviewPage(m_buildPage());
}

}  // namespace glx
