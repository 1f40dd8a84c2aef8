#include "platform/wayland/wayland_output.h"

namespace platform::wayland {

OutputPlacement WaylandOutput::placement() const {
  if (!done) return {};
  const int safeScale = scale > 0 ? scale : 1;
  if (haveLogical) return {logical.x, logical.y, logical.width, logical.height, safeScale};
  return {0, 0, modeWidth / safeScale, modeHeight / safeScale, safeScale};
}

}  // namespace platform::wayland
