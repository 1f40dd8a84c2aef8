#pragma once

namespace platform::wayland {

// Whether $WAYLAND_DISPLAY names a compositor that offers zwlr_layer_shell_v1: the one thing
// the overlays cannot do without. False when the variable is unset or the connection fails.
// Opens and closes a connection of its own; needs no Qt.
bool compositorOffersLayerShell();

}  // namespace platform::wayland
