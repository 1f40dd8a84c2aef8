#include "platform/wayland/overlay_window_peer.h"

#include "platform/wayland/overlay_pixel.h"
#include "platform/wayland/overlay_registry.h"
#include "platform/wayland/overlay_surface.h"
#include "platform/wayland/wayland_connection.h"

namespace platform::wayland {

OverlayWindowPeer::OverlayWindowPeer(Window& window, QPointer<WaylandConnection> connection,
                                     std::shared_ptr<OverlayRegistry> registry, WindowNumber number)
    : window_(window),
      connection_(std::move(connection)),
      registry_(std::move(registry)),
      number_(number) {
  registry_->add(this);
}

OverlayWindowPeer::~OverlayWindowPeer() {
  registry_->remove(this);
}

bool OverlayWindowPeer::isOnScreen() const {
  return surface_ != nullptr && surface_->isOpen();
}

void OverlayWindowPeer::orderFront() {
  if (!orderedFront_) {
    orderedFront_ = true;
    const WaylandOutput* output =
        connection_ ? connection_->outputForFrame(window_.frame()) : nullptr;
    if (output != nullptr) {
      surface_ = std::make_unique<OverlaySurface>(*connection_, *output);
      // A surface that closes leaves the window list.
      QObject::connect(surface_.get(), &OverlaySurface::closed, surface_.get(),
                       [registry = registry_] { registry->touch(); });
    }
    registry_->touch();
  }
  show();
}

// The level changes nothing on screen: every level lies on the bottom layer.
void OverlayWindowPeer::levelDidChange() {
  registry_->touch();
}

void OverlayWindowPeer::alphaDidChange() {
  registry_->touch();
  show();
}

void OverlayWindowPeer::show() {
  if (!isOnScreen()) return;
  surface_->setPixel(overlayPixel(window_.contentView(), window_.alphaValue()));
}

}  // namespace platform::wayland
