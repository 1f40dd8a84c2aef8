#pragma once

namespace platform::x11::qt_test {

// Handles Qt's events and timers for the given time, as the event loop would.
void runEventLoopFor(double seconds);

}  // namespace platform::x11::qt_test
