#pragma once

#include <optional>
#include <vector>

#include "platform/geometry.h"

namespace platform::x11 {

// One monitor as Qt reports it: its geometry in Qt's logical coordinates (top-left origin,
// y down, device-independent pixels) and its device pixel ratio. Qt keeps a monitor's
// top-left corner at its X position and scales only the size.
struct ScreenLayout {
  double x = 0.0;
  double y = 0.0;
  double width = 0.0;
  double height = 0.0;
  double devicePixelRatio = 1.0;
};

// A rectangle in X pixels on the root window.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A monitor's layout from Qt's geometry for it, whose logical size Qt rounds to whole numbers,
// sized from the monitor's own pixels when the server lists one at the same corner: otherwise
// a 1366-pixel monitor at ratio 1.5 (910.67 points) would come to 1365 or 1367 pixels.
ScreenLayout screenLayoutFrom(PixelRect logical, double devicePixelRatio,
                              const std::vector<PixelRect>& monitors);

// Converts between Qt's and X's top-left coordinates and the system's global points, whose
// origin is the bottom-left corner of the primary screen with y upwards.
class ScreenGeometry final {
 public:
  // `screens` in Qt's order; the first entry's index `primary` names the primary screen.
  ScreenGeometry(std::vector<ScreenLayout> screens, std::size_t primary);

  bool empty() const { return screens_.empty(); }
  // Every screen's frame in global points, in Qt's order.
  std::vector<Rect> frames() const;
  // A root pixel position in global points; pixels outside every screen use the primary's
  // scale.
  Point pointFromPixel(int x, int y) const;
  // A global rectangle in root pixels, scaled by the screen that holds its centre.
  PixelRect pixelRectFrom(Rect rect) const;
  // The device pixel ratio of the screen that holds the rectangle's centre.
  double devicePixelRatioFor(Rect rect) const;

 private:
  const ScreenLayout* screenAtLogical(double x, double y) const;
  const ScreenLayout* screenAtPixel(int x, int y) const;
  double flipY(double y) const { return primaryBottom_ - y; }

  std::vector<ScreenLayout> screens_;
  std::size_t primary_;
  double primaryBottom_ = 0.0;
};

}  // namespace platform::x11
