#pragma once

namespace platform::entry {

// Whether $WAYLAND_DISPLAY is set and GNOME Shell owns org.gnome.Shell on the session bus.
// The caller asks first whether the Wayland backend can run: GNOME Shell offers no
// layer-shell.
bool gnomeBackendAvailable();

// Runs Quillmere on GNOME Shell through its extension, one instance per session; the exit
// status.
int runOnGnome();

}  // namespace platform::entry
