#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <unordered_map>

#include "platform/platform.h"

namespace platform::qt {

// The backends' timers on Qt's event loop, known by the ids that the platform hands out.
class QtTimers final {
 public:
  // The timers are children of `owner`, which outlives this table.
  explicit QtTimers(QObject* owner) : owner_(owner) {}
  QtTimers(const QtTimers&) = delete;
  QtTimers& operator=(const QtTimers&) = delete;

  // Seconds on the monotonic clock.
  static double now();
  TimerId schedule(double interval, bool repeats, std::function<void()> block);
  // Stops the timer; an unknown or already ended one is ignored.
  void invalidate(TimerId timer);

 private:
  QObject* owner_;
  std::unordered_map<TimerId, QPointer<QTimer>> timers_;
  TimerId nextTimerId_ = 1;
};

}  // namespace platform::qt
