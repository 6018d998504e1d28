// A millisecond timer on the GUI thread's event loop. An exception raised by
// its handler is shown through the error sink, like any uncaught failure.
#pragma once

#include <QTimer>
#include <functional>

namespace glx {

class TThreadTimer {
 public:
  using Notify = std::function<void(TThreadTimer& sender)>;

  TThreadTimer();
  ~TThreadTimer();
  TThreadTimer(const TThreadTimer&) = delete;
  TThreadTimer& operator=(const TThreadTimer&) = delete;

  bool Enabled() const { return m_enabled; }
  unsigned Interval() const { return m_interval; }
  const Notify& OnTimer() const { return m_onTimer; }

  // Each change re-arms the timer: it runs only while enabled, with a
  // non-zero interval and a handler.
  void SetEnabled(bool enabled);
  void SetInterval(unsigned milliseconds);
  void SetOnTimer(Notify handler);

  bool running() const { return m_timer.isActive(); }

 private:
  void updateTimer();
  void fire();

  bool m_enabled = true;
  unsigned m_interval = 1000;
  Notify m_onTimer;
  QTimer m_timer;
};

}  // namespace glx
