#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/x11/screen_geometry.h"

namespace platform::x11 {

// The root's children, bottom to top, kept in the server's stacking order from the structure
// events on the root, so that reading it costs no round trip.
class WindowStack final {
 public:
  void reset(std::vector<xcb_window_t> bottomToTop);
  const std::vector<xcb_window_t>& bottomToTop() const { return order_; }
  bool contains(xcb_window_t window) const;

  // A new child goes on top.
  void created(xcb_window_t window);
  void destroyed(xcb_window_t window);
  // The window now lies directly above `sibling`, or at the bottom when it is none. False
  // when the sibling is unknown: the order can no longer be trusted.
  bool restacked(xcb_window_t window, xcb_window_t sibling);
  void circulated(xcb_window_t window, bool onTop);
  void reparented(xcb_window_t window, xcb_window_t parent, xcb_window_t root);
  // Whether `window` lies directly above `sibling` already (or at the bottom for none).
  bool isDirectlyAbove(xcb_window_t window, xcb_window_t sibling) const;

 private:
  std::vector<xcb_window_t> order_;
};

// Whether any pixel of the window lies on one of the monitors.
bool liesOnAnyMonitor(const PixelRect& window, const std::vector<PixelRect>& monitors);

// One root child as the overlays' stacking sees it: a layer when it counts, nothing when it
// does not (unmapped, InputOnly, off every monitor, hidden, on another desktop,
// or one of our own overlays).
struct StackEntry {
  xcb_window_t window = XCB_NONE;
  std::optional<std::int64_t> layer;
  xcb_window_t client = XCB_NONE;  // the window a frame holds, when it is known
};

// The lowest counted window, bottom to top, whose layer is above `level`; the overlay at that
// level belongs directly below it, or on top of everything when there is none.
std::optional<xcb_window_t> restackReference(const std::vector<StackEntry>& bottomToTop,
                                             std::int64_t level);

// Whether `overlay` already stands where `reference` wants it: below the reference with no
// counted window in between, or above every counted window when there is no reference.
bool isPlacedFor(const std::vector<StackEntry>& bottomToTop, xcb_window_t overlay,
                 std::optional<xcb_window_t> reference);

}  // namespace platform::x11
