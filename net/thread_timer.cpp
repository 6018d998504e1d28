#include "net/thread_timer.h"

#include <climits>

#include "platform/error_sink.h"

namespace glx {

TThreadTimer::TThreadTimer() {
  m_timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&m_timer, &QTimer::timeout, [this] { fire(); });
}

TThreadTimer::~TThreadTimer() { m_timer.stop(); }

void TThreadTimer::SetEnabled(bool enabled) {
  m_enabled = enabled;
  updateTimer();
}

void TThreadTimer::SetInterval(unsigned milliseconds) {
  m_interval = milliseconds;
  updateTimer();
}

void TThreadTimer::SetOnTimer(Notify handler) {
  m_onTimer = std::move(handler);
  updateTimer();
}

void TThreadTimer::updateTimer() {
  m_timer.stop();
  if (m_interval != 0 && m_enabled && m_onTimer) {
    m_timer.start(static_cast<int>(m_interval > INT_MAX ? INT_MAX : m_interval));
  }
}

void TThreadTimer::fire() {
  // Copy: the handler may replace itself.
  Notify handler = m_onTimer;
  if (handler) runGuarded([&] { handler(*this); });
}

}  // namespace glx
