#include "platform/wayland/overlay_window_peer.h"

#include "platform/wayland/overlay_pixel.h"
#include "platform/wayland/overlay_surface.h"
#include "platform/wayland/wayland_connection.h"

namespace platform::wayland {

OverlayWindowPeer::OverlayWindowPeer(Window& window, QPointer<WaylandConnection> connection,
                                     WindowNumber number)
    : window_(window), connection_(std::move(connection)), number_(number) {}

OverlayWindowPeer::~OverlayWindowPeer() = default;

void OverlayWindowPeer::orderFront() {
  if (!orderedFront_) {
    orderedFront_ = true;
    const WaylandOutput* output =
        connection_ ? connection_->outputForFrame(window_.frame()) : nullptr;
    if (output != nullptr) surface_ = std::make_unique<OverlaySurface>(*connection_, *output);
  }
  show();
}

void OverlayWindowPeer::show() {
  if (surface_ == nullptr || !surface_->isOpen()) return;
  surface_->setPixel(overlayPixel(window_.contentView(), window_.alphaValue()));
}

}  // namespace platform::wayland
