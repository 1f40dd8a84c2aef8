#pragma once

#include <chrono>
#include <string>

namespace platform::qt {

enum class SessionToggleResult { delivered, notRunning, noAnswer };

// Asks the Quillmere that listens on the session's socket to toggle its effect, and waits up
// to the timeout for its answer. notRunning when nothing listens there. Needs no Qt.
SessionToggleResult sendSessionToggle(const std::string& socketPath,
                                      std::chrono::milliseconds timeout);

}  // namespace platform::qt
