#pragma once

#include <gtest/gtest.h>

#include <QRect>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../render/test_images.h"

namespace quillmere::test {

// Channels of a 0xRRGGBB pixel.
inline int red(std::uint32_t rgb) {
  return static_cast<int>((rgb >> 16) & 0xff);
}
inline int green(std::uint32_t rgb) {
  return static_cast<int>((rgb >> 8) & 0xff);
}
inline int blue(std::uint32_t rgb) {
  return static_cast<int>(rgb & 0xff);
}
inline bool near(std::uint32_t a, std::uint32_t b, int tolerance) {
  return std::abs(red(a) - red(b)) <= tolerance && std::abs(green(a) - green(b)) <= tolerance &&
         std::abs(blue(a) - blue(b)) <= tolerance;
}
inline std::string hex(std::uint32_t rgb) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06x", rgb);
  return text;
}
// A pixel of a BGRA image as 0xRRGGBB.
inline std::uint32_t rgbAt(const platform::render::testing::Image& image, int x, int y) {
  const std::uint8_t* p = image.at(x, y);
  return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

// Whether a screenshot (0xRRGGBB, row by row) shows the image of its size within the tolerance
// per channel, the skipped rectangle left out; else where it first does not.
inline ::testing::AssertionResult matches(const std::vector<std::uint32_t>& shot,
                                          const platform::render::testing::Image& image,
                                          int tolerance, QRect skip = {}) {
  if (shot.size() != static_cast<std::size_t>(image.width) * image.height) {
    return ::testing::AssertionFailure() << "no screenshot";
  }
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t got = shot[static_cast<std::size_t>(y) * image.width + x];
      if (skip.contains(x, y) || near(got, rgbAt(image, x, y), tolerance)) continue;
      return ::testing::AssertionFailure() << "at (" << x << ", " << y << ") the screen shows "
                                           << hex(got) << " instead of " << hex(rgbAt(image, x, y));
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace quillmere::test
