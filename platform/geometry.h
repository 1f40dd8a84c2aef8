#pragma once

// Global screen coordinates are in points, origin at the bottom-left corner of the
// primary screen, y upwards.
namespace platform {

struct Point {
  double x = 0.0;
  double y = 0.0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0.0;
  double height = 0.0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  Point origin;
  Size size;
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect makeRect(double x, double y, double width, double height) {
  return Rect{{x, y}, {width, height}};
}

// Moves every edge inwards by dx and dy; negative values grow the rectangle.
inline Rect insetRect(Rect rect, double dx, double dy) {
  return makeRect(rect.origin.x + dx, rect.origin.y + dy, rect.size.width - 2.0 * dx,
                  rect.size.height - 2.0 * dy);
}

inline double midX(Rect rect) {
  return rect.origin.x + rect.size.width / 2.0;
}
inline double midY(Rect rect) {
  return rect.origin.y + rect.size.height / 2.0;
}

}  // namespace platform
