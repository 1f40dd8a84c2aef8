#include "platform/wayland/wayland_backend.h"

#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_platform.h"

namespace platform::wayland {

std::unique_ptr<Platform> makeWaylandPlatform() {
  auto connection = std::make_unique<WaylandConnection>();
  if (!connection->usable()) return nullptr;
  return std::make_unique<WaylandPlatform>(std::move(connection));
}

int exitStatusOf(const Platform& platform) {
  return static_cast<const WaylandPlatform&>(platform).exitCode();
}

}  // namespace platform::wayland
