#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QObject>
#include <QRect>
#include <cstdint>
#include <memory>

#include "platform/render/effect_renderer.h"

namespace platform::x11 {

// Fills the overlay windows with the effect over what lies beneath them. With a compositor
// (one owns _NET_WM_CM_S<screen>) it writes each window's translucent content and lets the
// compositor blend it; without one it writes the final opaque pixels, reading the windows
// beneath through Composite. It follows the compositor starting and stopping, repaints when
// what lies beneath changes (XDamage, at most 60 times a second; only the pixels a change
// can reach are captured, rendered and put), and shows nothing at all for a window whose alpha
// is 0. Uses a connection of its own.
class OverlayPaintEngine final : public QObject {
  Q_OBJECT

 public:
  explicit OverlayPaintEngine(const QByteArray& displayName, QObject* parent = nullptr);
  ~OverlayPaintEngine() override;
  OverlayPaintEngine(const OverlayPaintEngine&) = delete;
  OverlayPaintEngine& operator=(const OverlayPaintEngine&) = delete;

  bool available() const;

  // Starts painting an overlay: a mapped, override-redirect window with a 32-bit ARGB visual
  // and an empty input shape, covering `geometry` (root coordinates, X pixels). A window made
  // on another connection must be known to the server already (wait for a reply there first).
  void addOverlay(xcb_window_t window, QRect geometry, double devicePixelRatio);
  void removeOverlay(xcb_window_t window);
  void setContent(xcb_window_t window, const render::ContentSnapshot& content);
  // The window's alpha now, also in the middle of a fade.
  void setWindowAlpha(xcb_window_t window, double alpha);
  // Something in the stacking order changed: what lies beneath may differ.
  void stackingDidChange();

  bool compositorActive() const;

  // What the last painted frame cost, in milliseconds, for the benchmark.
  struct FrameCost {
    double captureMs = 0.0;
    double renderMs = 0.0;
    std::uint64_t frames = 0;  // painted since the engine started
  };
  FrameCost lastFrameCost() const;

 signals:
  void connectionLost();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform::x11
