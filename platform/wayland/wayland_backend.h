#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/wayland/layer_shell_probe.h"

namespace platform::wayland {

// The Wayland backend on $WAYLAND_DISPLAY, or null when the compositor cannot be reached or
// lacks what the overlays need (layer-shell, viewporter, shared memory). Needs a running
// QCoreApplication (QApplication); install the result with platform::installPlatform, run
// quillmere::runQuillmere(), and end with exitStatusOf(). A lost compositor ends the process
// with status 1 from inside the loop.
std::unique_ptr<Platform> makeWaylandPlatform();

// The status the backend's event loop ended with; the platform must be one that
// makeWaylandPlatform made.
int exitStatusOf(const Platform& platform);

}  // namespace platform::wayland
