#include "platform/qt/qt_timers.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace platform::qt {

double QtTimers::now() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

TimerId QtTimers::schedule(double interval, bool repeats, std::function<void()> block) {
  const TimerId id = nextTimerId_++;
  auto* timer = new QTimer(owner_);
  timer->setTimerType(Qt::PreciseTimer);
  timer->setSingleShot(!repeats);
  timer->setInterval(static_cast<int>(std::lround(std::max(0.0, interval) * 1000.0)));
  QObject::connect(timer, &QTimer::timeout, timer, [this, id, repeats, block = std::move(block)] {
    auto keep = block;  // the block may invalidate its own timer
    if (!repeats) invalidate(id);
    keep();
  });
  timers_.emplace(id, timer);
  timer->start();
  return id;
}

void QtTimers::invalidate(TimerId timer) {
  auto found = timers_.find(timer);
  if (found == timers_.end()) return;
  if (found->second) {
    found->second->stop();
    found->second->deleteLater();
  }
  timers_.erase(found);
}

}  // namespace platform::qt
