#pragma once

#include <optional>

#include "platform/qt/session_channel.h"

namespace platform::entry {

// This Wayland session's lock and --toggle socket, from $XDG_RUNTIME_DIR and $WAYLAND_DISPLAY;
// none without either. The Wayland and GNOME backends share them: one runs per session.
std::optional<qt::SessionPaths> thisSessionsPaths();

enum class SessionToggle { delivered, notRunning, noAnswer };

// Asks the Quillmere of this Wayland session to toggle its effect, through its socket.
SessionToggle toggleThisSession();

}  // namespace platform::entry
