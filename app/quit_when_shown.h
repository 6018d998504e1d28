// A way to time start-up from outside: with the environment variable
// GLIMMERAX_QUIT_WHEN_SHOWN set (to anything but empty), the program prints
// "shown" on standard output and quits as soon as its main window has been
// painted and the event loop has nothing left to do. It exists for the
// start-up benchmark, which also builds a bare Qt program with the same
// helper to compare against; nothing else should set it.
//
// Header only, so that the bare program needs nothing of the application.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace glx {

inline bool quitWhenShownRequested() {
  const char* value = std::getenv("GLIMMERAX_QUIT_WHEN_SHOWN");
  return value && *value;
}

// Watches every event of the application. Idle means: a call posted to the
// end of the event queue came back with no other event delivered meanwhile.
// Create it before the window is shown, so its first paint is seen.
class QuitWhenShown : public QObject {
 public:
  explicit QuitWhenShown(QWidget& window) : m_window(window) {
    QCoreApplication::instance()->installEventFilter(this);
    postCheck();
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == this) return false;
    ++m_events;
    if (watched == &m_window && event->type() == QEvent::Paint) m_painted = true;
    return false;
  }

 private:
  void postCheck() {
    m_eventsAtPost = m_events;
    QMetaObject::invokeMethod(this, [this] { check(); }, Qt::QueuedConnection);
  }

  void check() {
    if (!m_painted || m_events != m_eventsAtPost) {
      postCheck();
      return;
    }
    QCoreApplication::instance()->removeEventFilter(this);
    std::fputs("shown\n", stdout);
    std::fflush(stdout);
    QCoreApplication::exit(0);
  }

  QWidget& m_window;
  bool m_painted = false;
  unsigned long m_events = 0;
  unsigned long m_eventsAtPost = 0;
};

}  // namespace glx
