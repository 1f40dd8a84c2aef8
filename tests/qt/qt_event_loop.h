#pragma once

#include <chrono>
#include <functional>

namespace platform::qt::test {

// Runs Qt's event loop until the condition holds or the time is up; returns the condition.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(5));

// Handles Qt's events and timers for the given time, as the event loop would.
void runEventLoopFor(double seconds);

}  // namespace platform::qt::test
