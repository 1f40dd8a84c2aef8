#include "platform/x11/screen_geometry.h"

#include <cmath>

namespace platform::x11 {

ScreenLayout screenLayoutFrom(PixelRect logical, double devicePixelRatio,
                              const std::vector<PixelRect>& monitors) {
  const double ratio = devicePixelRatio > 0.0 ? devicePixelRatio : 1.0;
  ScreenLayout layout{double(logical.x), double(logical.y), double(logical.width),
                      double(logical.height), ratio};
  // Qt keeps a monitor's corner at its pixel position and rounds only the size.
  for (const PixelRect& monitor : monitors) {
    if (monitor.x == logical.x && monitor.y == logical.y &&
        std::abs(monitor.width / ratio - logical.width) <= 1.0 &&
        std::abs(monitor.height / ratio - logical.height) <= 1.0) {
      layout.width = monitor.width / ratio;
      layout.height = monitor.height / ratio;
      break;
    }
  }
  return layout;
}

ScreenGeometry::ScreenGeometry(std::vector<ScreenLayout> screens, std::size_t primary)
    : screens_(std::move(screens)), primary_(primary < screens_.size() ? primary : 0) {
  if (!screens_.empty()) primaryBottom_ = screens_[primary_].y + screens_[primary_].height;
}

std::vector<Rect> ScreenGeometry::frames() const {
  std::vector<Rect> frames;
  frames.reserve(screens_.size());
  for (const ScreenLayout& screen : screens_) {
    frames.push_back(
        makeRect(screen.x, flipY(screen.y + screen.height), screen.width, screen.height));
  }
  return frames;
}

const ScreenLayout* ScreenGeometry::screenAtLogical(double x, double y) const {
  for (const ScreenLayout& screen : screens_) {
    if (x >= screen.x && x < screen.x + screen.width && y >= screen.y &&
        y < screen.y + screen.height) {
      return &screen;
    }
  }
  return screens_.empty() ? nullptr : &screens_[primary_];
}

const ScreenLayout* ScreenGeometry::screenAtPixel(int x, int y) const {
  for (const ScreenLayout& screen : screens_) {
    const double right = screen.x + screen.width * screen.devicePixelRatio;
    const double bottom = screen.y + screen.height * screen.devicePixelRatio;
    if (x >= screen.x && x < right && y >= screen.y && y < bottom) return &screen;
  }
  return screens_.empty() ? nullptr : &screens_[primary_];
}

Point ScreenGeometry::pointFromPixel(int x, int y) const {
  const ScreenLayout* screen = screenAtPixel(x, y);
  if (screen == nullptr) return Point{double(x), double(-y)};
  const double ratio = screen->devicePixelRatio;
  const double logicalX = screen->x + (x - screen->x) / ratio;
  const double logicalY = screen->y + (y - screen->y) / ratio;
  return Point{logicalX, flipY(logicalY)};
}

PixelRect ScreenGeometry::pixelRectFrom(Rect rect) const {
  const double top = flipY(rect.origin.y + rect.size.height);
  const double left = rect.origin.x;
  const ScreenLayout* screen =
      screenAtLogical(left + rect.size.width / 2.0, top + rect.size.height / 2.0);
  const double ratio = screen ? screen->devicePixelRatio : 1.0;
  const double originX = screen ? screen->x : 0.0;
  const double originY = screen ? screen->y : 0.0;
  return PixelRect{static_cast<int>(std::lround(originX + (left - originX) * ratio)),
                   static_cast<int>(std::lround(originY + (top - originY) * ratio)),
                   static_cast<int>(std::lround(rect.size.width * ratio)),
                   static_cast<int>(std::lround(rect.size.height * ratio))};
}

double ScreenGeometry::devicePixelRatioFor(Rect rect) const {
  const double top = flipY(rect.origin.y + rect.size.height);
  const ScreenLayout* screen =
      screenAtLogical(rect.origin.x + rect.size.width / 2.0, top + rect.size.height / 2.0);
  return screen ? screen->devicePixelRatio : 1.0;
}

}  // namespace platform::x11
