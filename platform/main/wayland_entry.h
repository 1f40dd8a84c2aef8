#pragma once

namespace platform::entry {

// Whether $WAYLAND_DISPLAY names a compositor that the Wayland backend can run on.
bool waylandBackendAvailable();

// Runs Quillmere on the Wayland compositor in $WAYLAND_DISPLAY, one instance per session;
// the exit status.
int runOnWayland();

}  // namespace platform::entry
