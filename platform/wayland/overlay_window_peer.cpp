#include "platform/wayland/overlay_window_peer.h"

#include "platform/wayland/kwin_overlay_stacking.h"
#include "platform/wayland/overlay_pixel.h"
#include "platform/wayland/overlay_registry.h"
#include "platform/wayland/overlay_surface.h"
#include "platform/wayland/wayland_connection.h"

namespace platform::wayland {

namespace {
constexpr int kFailuresBeforeGivingUp = 3;
// Levels up to this one lie below every normal window, on the bottom layer.
constexpr WindowLevel kHighestBottomLevel = -1;
}  // namespace

OverlayWindowPeer::OverlayWindowPeer(Window& window, QPointer<WaylandConnection> connection,
                                     std::shared_ptr<OverlayRegistry> registry, WindowNumber number,
                                     QPointer<CaptureScheduler> captures,
                                     QPointer<KWinOverlayStacking> stacking)
    : window_(window),
      connection_(std::move(connection)),
      registry_(std::move(registry)),
      number_(number),
      captures_(std::move(captures)),
      stacking_(std::move(stacking)) {
  registry_->add(this);
  if (captures_) captures_->add(this);
}

OverlayWindowPeer::~OverlayWindowPeer() {
  if (captures_) captures_->remove(this);
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
      // KWin's blur effect loaded or unloaded: shown again with or without it.
      QObject::connect(connection_.data(), &WaylandConnection::blurManagerChanged, surface_.get(),
                       [this] { show(); });
      // Mapped on the top layer, KWin makes its window above every other: the keep-above
      // windows are raised again.
      QObject::connect(surface_.get(), &OverlaySurface::mapped, surface_.get(), [this] {
        if (stacking_ && window_.level() > kHighestBottomLevel) stacking_->overlayMapped();
      });
      // A surface that closes leaves the window list.
      QObject::connect(surface_.get(), &OverlaySurface::closed, surface_.get(),
                       [registry = registry_] { registry->touch(); });
    }
    registry_->touch();
    placeLayer();
  }
  show();
}

void OverlayWindowPeer::levelDidChange() {
  registry_->touch();
  placeLayer();
}

// Only a move between the layers reaches the compositor; a new level on the same layer costs
// nothing.
void OverlayWindowPeer::placeLayer() {
  if (!stacking_ || !isOnScreen()) return;
  const bool top = window_.level() > kHighestBottomLevel;
  if (surface_->setTopLayer(top)) stacking_->overlaysMoved(top);
}

void OverlayWindowPeer::alphaDidChange() {
  registry_->touch();
  show();
}

void OverlayWindowPeer::contentDidChange() {
  rendered_ = QImage();
  show();
}

// The blur (and, in place of squares, a blur in the squares' tint) where the compositor itself
// blurs behind surfaces and no capture can be had.
bool OverlayWindowPeer::blursInCompositor() const {
  return connection_ && connection_->blurManager() != nullptr &&
         !(captures_ && captures_->isAvailable()) &&
         render::EffectRenderer::needsBeneath(render::snapshotContent(window_.contentView()));
}

// Blur and squares where the outputs can be captured; everything else is one colour.
bool OverlayWindowPeer::showsBeneath() const {
  return captures_ && captures_->isAvailable() && failedCaptures_ < kFailuresBeforeGivingUp &&
         render::EffectRenderer::needsBeneath(render::snapshotContent(window_.contentView()));
}

void OverlayWindowPeer::show() {
  if (!isOnScreen()) return;
  const double alpha = window_.alphaValue();
  if (!showsBeneath() || alpha <= 0.0) {
    // Nothing is captured from now on, so the last capture grows stale: the next blur starts
    // from a new one.
    beneath_ = QImage();
    rendered_ = QImage();
    surface_->setPixel(overlayPixel(window_.contentView(), alpha));
    // Where the compositor blurs (KWin), it does so behind the tint. Its blur ignores the
    // buffer's alpha, so it stands at full strength for as long as the overlay shows at all.
    surface_->setBlurBehind(blursInCompositor() && alpha > 0.0);
    return;
  }
  surface_->setBlurBehind(false);
  // Shown again before its capture is taken, the overlay itself would be in it: a fade's next
  // step waits for the capture.
  if (hiddenForCapture_) return;
  if (beneath_.isNull()) {
    // The tint stands in while a capture is awaited after one failed.
    if (failedCaptures_ > 0) surface_->setPixel(overlayPixel(window_.contentView(), alpha));
    captures_->request(this);
    return;
  }
  if (rendered_.isNull()) render();
  surface_->setImage(rendered_, alpha);
}

// The effect at alpha 1 over the capture; the alpha is applied as it is shown.
void OverlayWindowPeer::render() {
  const render::ContentSnapshot content = render::snapshotContent(window_.contentView());
  rendered_ = QImage(beneath_.size(), QImage::Format_ARGB32_Premultiplied);
  const render::ConstPixelBuffer beneath{beneath_.constBits(), beneath_.width(), beneath_.height(),
                                         beneath_.bytesPerLine(), true};
  const render::PixelBuffer out{rendered_.bits(), rendered_.width(), rendered_.height(),
                                rendered_.bytesPerLine()};
  const double points = window_.frame().size.width;
  const double ratio = points > 0.0 ? double(beneath_.width()) / points : 1.0;
  captures_->renderer().renderWindowContent(content, beneath, ratio, out);
}

const WaylandOutput* OverlayWindowPeer::captureOutput() const {
  return isOnScreen() ? surface_->output() : nullptr;
}

bool OverlayWindowPeer::wantsBeneath() const {
  return isOnScreen() && window_.alphaValue() > 0.0 && showsBeneath();
}

void OverlayWindowPeer::hideForCapture() {
  if (!isOnScreen()) return;
  hiddenForCapture_ = true;
  surface_->setPixel(0);
}

void OverlayWindowPeer::captured(const QImage& beneath) {
  hiddenForCapture_ = false;
  failedCaptures_ = 0;
  beneath_ = beneath;
  rendered_ = QImage();
  show();
}

// The last capture stays; without one, the tint shows. A compositor that keeps refusing leaves
// the tint alone for good, rather than hiding the overlay for each capture it refuses.
void OverlayWindowPeer::captureFailed() {
  hiddenForCapture_ = false;
  ++failedCaptures_;
  if (isOnScreen() && !beneath_.isNull() && window_.alphaValue() > 0.0) {
    if (rendered_.isNull()) render();
    surface_->setImage(rendered_, window_.alphaValue());
    return;
  }
  show();
}

}  // namespace platform::wayland
