#include "tests/support/pump_until.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace glx::test {

bool pumpUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(2);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

void pumpFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  pumpUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

}  // namespace glx::test
