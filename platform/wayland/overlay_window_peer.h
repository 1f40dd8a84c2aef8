#pragma once

#include <QImage>
#include <QPointer>
#include <memory>

#include "platform/wayland/capture_scheduler.h"
#include "platform/window.h"

namespace platform::wayland {

class KWinOverlayStacking;
class WaylandConnection;
class OverlayRegistry;
class OverlaySurface;

// An overlay window as a layer-shell surface on the output its frame covers. Dim is one colour;
// blur and squares are rendered from a capture of the output (where the compositor allows
// one, else their material's tint alone is shown). Its number is
// one the backend hands out, stable for its life and never -1. Level -1 lies on the bottom
// layer, just above the wallpaper; on sway every window is at the normal level, so there the
// level is always -1 and every level stays on the bottom layer. On KWin (with `stacking`) a
// higher level moves the surface to the top layer, below the frontmost application's
// keep-above windows. The surface is made when the window is first ordered
// front; a window whose output is missing then, or went away since, shows nothing. A window
// may outlive the backend: it then shows nothing and ignores every change.
class OverlayWindowPeer final : public WindowPeer, private CaptureClient {
 public:
  OverlayWindowPeer(Window& window, QPointer<WaylandConnection> connection,
                    std::shared_ptr<OverlayRegistry> registry, WindowNumber number,
                    QPointer<CaptureScheduler> captures = {},
                    QPointer<KWinOverlayStacking> stacking = {});
  ~OverlayWindowPeer() override;
  OverlayWindowPeer(const OverlayWindowPeer&) = delete;
  OverlayWindowPeer& operator=(const OverlayWindowPeer&) = delete;

  WindowNumber windowNumber() override { return number_; }
  void levelDidChange() override;
  void alphaDidChange() override;
  void attributesDidChange() override { show(); }
  void contentDidChange() override;
  void orderFront() override;

  // What the window list shows of it.
  WindowNumber number() const { return number_; }
  bool isOnScreen() const;
  WindowLevel level() const { return window_.level(); }
  double alpha() const { return window_.alphaValue(); }

 private:
  void show();
  void placeLayer();
  bool showsBeneath() const;
  bool blursInCompositor() const;
  void render();

  const WaylandOutput* captureOutput() const override;
  bool wantsBeneath() const override;
  void hideForCapture() override;
  void captured(const QImage& beneath) override;
  void captureFailed() override;

  Window& window_;
  QPointer<WaylandConnection> connection_;
  std::shared_ptr<OverlayRegistry> registry_;
  WindowNumber number_;
  bool orderedFront_ = false;
  std::unique_ptr<OverlaySurface> surface_;
  QPointer<CaptureScheduler> captures_;
  QPointer<KWinOverlayStacking> stacking_;
  QImage beneath_;   // the last capture of the output
  QImage rendered_;  // the effect made from it at alpha 1; null when the content changed since
  int failedCaptures_ = 0;         // in a row
  bool hiddenForCapture_ = false;  // until the capture on its way arrives or fails
};

}  // namespace platform::wayland
