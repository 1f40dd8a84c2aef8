#include "test_images.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace platform::render::testing {

Image uniformImage(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  Image image(width, height);
  for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
    const std::uint8_t pixel[] = {b, g, r, 255};
    std::copy(pixel, pixel + 4, &image.pixels[i]);
  }
  return image;
}

Image gradientsWithEdges(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image.at(x, y);
      p[0] = std::uint8_t(255 * x / std::max(width - 1, 1));
      p[1] = std::uint8_t(255 * y / std::max(height - 1, 1));
      p[2] = std::uint8_t(128 + 100 * std::sin(x * 0.05));
      const bool box = x > width / 4 && x < width / 2 && y > height / 5 && y < height * 3 / 4;
      const bool below = x + y > width;
      if (box) p[0] = 20, p[1] = 240, p[2] = 250;
      if (below) p[1] = 10;
      p[3] = 255;
    }
  }
  return image;
}

Image gaussianReference(const Image& image, double sigma) {
  const int radius = static_cast<int>(std::ceil(4.0 * sigma));
  std::vector<double> kernel;
  for (int k = -radius; k <= radius; ++k)
    kernel.push_back(std::exp(-0.5 * k * k / (sigma * sigma)));
  double total = 0.0;
  for (double weight : kernel) total += weight;
  const int w = image.width;
  const int h = image.height;
  // One pass along x or y over `from`, edge pixels continued.
  const auto pass = [&](const std::vector<double>& from, bool alongX) {
    std::vector<double> to(from.size());
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        for (int c = 0; c < 4; ++c) {
          double sum = 0.0;
          for (int k = -radius; k <= radius; ++k) {
            const int sx = alongX ? std::clamp(x + k, 0, w - 1) : x;
            const int sy = alongX ? y : std::clamp(y + k, 0, h - 1);
            sum += kernel[std::size_t(k + radius)] * from[(std::size_t(sy) * w + sx) * 4 + c];
          }
          to[(std::size_t(y) * w + x) * 4 + c] = sum / total;
        }
      }
    }
    return to;
  };
  const std::vector<double> blurred =
      pass(pass(std::vector<double>(image.pixels.begin(), image.pixels.end()), true), false);
  Image out(w, h);
  for (std::size_t i = 0; i < blurred.size(); ++i) {
    out.pixels[i] = std::uint8_t(std::lround(std::clamp(blurred[i], 0.0, 255.0)));
  }
  return out;
}

double meanAbsoluteDifference(const Image& a, const Image& b) {
  double total = 0.0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    if (i % 4 != 3) total += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
  }
  return total / double(a.pixels.size() / 4 * 3);
}

}  // namespace platform::render::testing
