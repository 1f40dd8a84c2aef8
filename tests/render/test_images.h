#pragma once

#include <cstdint>
#include <vector>

#include "platform/render/effect_renderer.h"

namespace platform::render::testing {

// A BGRA image that owns its pixels, rows packed.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;

  Image() = default;
  Image(int w, int h) : width(w), height(h), pixels(std::size_t(w) * h * 4, 0) {}

  std::uint8_t* at(int x, int y) { return &pixels[(std::size_t(y) * width + x) * 4]; }
  const std::uint8_t* at(int x, int y) const { return &pixels[(std::size_t(y) * width + x) * 4]; }
  ConstPixelBuffer in(bool alphaIsPadding = false) const {
    return {pixels.data(), width, height, std::ptrdiff_t(width) * 4, alphaIsPadding};
  }
  PixelBuffer out() { return {pixels.data(), width, height, std::ptrdiff_t(width) * 4}; }
};

Image uniformImage(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r);
// Smooth gradients crossed by hard-edged rectangles and a diagonal.
Image gradientsWithEdges(int width, int height);

// A direct Gaussian blur in double precision, edge pixels continued, rounded to levels.
Image gaussianReference(const Image& image, double sigma);

// The mean absolute difference of the colour channels.
double meanAbsoluteDifference(const Image& a, const Image& b);

}  // namespace platform::render::testing
