#include "platform/event.h"

#include "platform/platform.h"

namespace platform {

Point Event::mouseLocation() {
  return currentPlatform().mouseLocation();
}

void Event::addGlobalMonitorForEventsMatchingMask(EventMask mask,
                                                  std::function<void(const Event&)> handler) {
  currentPlatform().addGlobalMonitor(mask, std::move(handler));
}

void Event::addLocalMonitorForEventsMatchingMask(
    EventMask mask, std::function<std::optional<Event>(const Event&)> handler) {
  currentPlatform().addLocalMonitor(mask, std::move(handler));
}

void Timer::scheduledTimerWithTimeInterval(double interval, bool repeats,
                                           std::function<void()> block) {
  currentPlatform().scheduleTimer(interval, repeats, std::move(block));
}

}  // namespace platform
