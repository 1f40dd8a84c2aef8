#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "platform/qt/session_channel.h"

namespace platform::entry {

// The variable's value, or null where it is unset or empty.
const char* environmentValue(const char* name);

// This Wayland session's lock and --toggle socket, from $XDG_RUNTIME_DIR and $WAYLAND_DISPLAY;
// none without either. The Wayland and GNOME backends share them: one runs per session.
std::optional<qt::SessionPaths> thisSessionsPaths();

enum class SessionToggle { delivered, notRunning, noAnswer };

// Asks the Quillmere of this Wayland session to toggle its effect, through its socket.
SessionToggle toggleThisSession();

// What a backend of a Wayland session hands the launch they share: the backend, what a
// --toggle request does there, and the status its event loop ended with.
struct SessionBackend {
  std::unique_ptr<Platform> platform;
  std::function<void()> toggle;
  std::function<int()> exitCode;
};

// Runs Quillmere on this Wayland session, one instance per session (a second launch says so and
// ends with 0). `makeBackend` runs inside a QApplication on Wayland; without a backend the
// launch ends with 1, after the line that says why. Otherwise the process ends with the
// backend's status and this never returns.
int runOnThisSession(const std::function<std::optional<SessionBackend>()>& makeBackend);

}  // namespace platform::entry
