#include "tests/qt/qt_event_loop.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace platform::qt::test {

// The loop sleeps between looks, so that a test that waits leaves the processor to the
// programs it waits for.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const QDeadlineTimer deadline(limit);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, 10)), &loop,
                       &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

void runEventLoopFor(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000.0), Qt::PreciseTimer, &loop,
                     &QEventLoop::quit);
  loop.exec();
}

}  // namespace platform::qt::test
