#pragma once

namespace platform {

// A straight (not premultiplied) RGBA colour with components from 0.0 to 1.0.
struct Color {
  double red = 0.0;
  double green = 0.0;
  double blue = 0.0;
  double alpha = 0.0;

  static Color clearColor() { return {0.0, 0.0, 0.0, 0.0}; }
  static Color blackColor() { return {0.0, 0.0, 0.0, 1.0}; }
  Color withAlphaComponent(double newAlpha) const { return {red, green, blue, newAlpha}; }

  friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace platform
