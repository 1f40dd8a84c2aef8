#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/geometry.h"

namespace platform {

enum class EventType : std::int64_t { mouseMoved = 5, keyDown = 10 };

using EventMask = std::uint64_t;
inline constexpr EventMask kEventMaskMouseMoved = EventMask{1} << 5;
inline constexpr EventMask kEventMaskKeyDown = EventMask{1} << 10;

using EventModifierFlags = std::uint64_t;
inline constexpr EventModifierFlags kEventModifierFlagCapsLock = 1u << 16;
inline constexpr EventModifierFlags kEventModifierFlagShift = 1u << 17;
inline constexpr EventModifierFlags kEventModifierFlagControl = 1u << 18;
inline constexpr EventModifierFlags kEventModifierFlagOption = 1u << 19;
inline constexpr EventModifierFlags kEventModifierFlagCommand = 1u << 20;
inline constexpr EventModifierFlags kEventModifierFlagFunction = 1u << 23;

// One input event: a pointer move or a key-down.
struct Event {
  EventType type = EventType::mouseMoved;
  EventModifierFlags modifierFlags = 0;
  // The key's text as if no modifier but Shift were held; empty when the key has none.
  std::optional<std::string> charactersIgnoringModifiers;

  static EventMask maskFor(EventType type) { return EventMask{1} << static_cast<int>(type); }

  // The pointer's position now, in global screen points.
  static Point mouseLocation();

  // The handler sees a copy of each matching event sent to other applications; the platform
  // keeps the monitor until the process ends.
  static void addGlobalMonitorForEventsMatchingMask(EventMask mask,
                                                    std::function<void(const Event&)> handler);
  // The handler sees each matching event sent to this application first; it returns the event
  // to let it go on, or nothing to consume it.
  static void addLocalMonitorForEventsMatchingMask(
      EventMask mask, std::function<std::optional<Event>(const Event&)> handler);
};

// A timer on the main run loop; the run loop keeps it until the process ends.
class Timer final {
 public:
  static void scheduledTimerWithTimeInterval(double interval, bool repeats,
                                             std::function<void()> block);
};

}  // namespace platform
