#include "qt_event_loop.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace platform::x11::qt_test {

void runEventLoopFor(double seconds) {
  QElapsedTimer elapsed;
  elapsed.start();
  const qint64 total = static_cast<qint64>(seconds * 1000.0);
  while (elapsed.elapsed() < total) {
    QCoreApplication::processEvents(QEventLoop::AllEvents,
                                    static_cast<int>(total - elapsed.elapsed()));
  }
}

}  // namespace platform::x11::qt_test
