#include "qt_event_loop.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace platform::x11::qt_test {

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
  waitUntil([] { return false; }, std::chrono::milliseconds(static_cast<qint64>(seconds * 1000.0)));
}

}  // namespace platform::x11::qt_test
