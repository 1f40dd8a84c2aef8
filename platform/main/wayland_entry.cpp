#include "platform/main/wayland_entry.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/main/session_toggle.h"
#include "platform/wayland/layer_shell_probe.h"
#include "platform/wayland/wayland_backend.h"
#include "platform/wayland/wayland_platform.h"

namespace platform::entry {

bool waylandBackendAvailable() {
  return environmentValue("WAYLAND_DISPLAY") != nullptr && wayland::compositorOffersLayerShell();
}

int runOnWayland() {
  return runOnThisSession([]() -> std::optional<SessionBackend> {
    auto backend = wayland::makeWaylandPlatform();
    if (!backend) {
      std::fprintf(stderr, "quillmere: the Wayland compositor on \"%s\" offers no layer-shell\n",
                   environmentValue("WAYLAND_DISPLAY"));
      return std::nullopt;
    }
    auto& waylandBackend = static_cast<wayland::WaylandPlatform&>(*backend);
    return SessionBackend{std::move(backend), [&waylandBackend] { waylandBackend.deliverSuperB(); },
                          [&waylandBackend] { return waylandBackend.exitCode(); }};
  });
}

}  // namespace platform::entry
