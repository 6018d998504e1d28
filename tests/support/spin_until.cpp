#include "tests/support/spin_until.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace glx::test {

bool spinUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 60000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::usleep(200);
  }
  return true;
}

}  // namespace glx::test
