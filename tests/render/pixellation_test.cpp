// Squares of one colour each, on the grid through the filter's centre.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render_helpers.h"

namespace platform::render {
namespace {

using testing::Image;

// A gradient each way, so that neighbouring squares always differ; it stays within the middle
// levels, where the material's saturation cannot clip two squares to the same colour.
Image slopes(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image.at(x, y);
      p[0] = std::uint8_t(96 + 64 * x / std::max(width - 1, 1));
      p[1] = 128;
      p[2] = std::uint8_t(96 + 64 * y / std::max(height - 1, 1));
      p[3] = 255;
    }
  }
  return image;
}

// Where a row changes colour along x, or a column along y.
std::vector<int> edges(const Image& image, int at, bool alongRow) {
  std::vector<int> found;
  for (int i = 1; i < (alongRow ? image.width : image.height); ++i) {
    const std::uint8_t* before = alongRow ? image.at(i - 1, at) : image.at(at, i - 1);
    const std::uint8_t* here = alongRow ? image.at(i, at) : image.at(at, i);
    if (!std::equal(before, before + 4, here)) found.push_back(i);
  }
  return found;
}
std::vector<int> expectedEdges(double center, double side, int size) {
  std::vector<int> edges;
  for (auto k = std::int64_t(std::floor(-center / side)) - 1;; ++k) {
    const double line = std::floor(center + double(k) * side + 0.5);
    if (line >= size) break;
    if (line > 0) edges.push_back(int(line));
  }
  return edges;
}

// Centres in points within the effect view, which reaches 100 points past the screen; rows are
// counted from the top, so the grid line lies at the height less the centre's y. The usual
// squares, centred on the screen, have sides of 6, 12, 27 and 7.5 pixels: the last one tiles
// with squares of 7 and 8. The usual square at ratios 1 and 2: test_blur.py on sway.
TEST(Pixellate, SquaresAreUniformWithEdgesOnTheGridThroughTheCentre) {
  const struct {
    double ratio;
    int width;  // pixels
    int height;
    double scale;  // points
    double centerX;
    double centerY;
  } cases[] = {
      {1.0, 97, 61, 6.0, 148.5, 130.5},
      {2.0, 200, 150, 6.0, 150.0, 137.5},
      {1.5, 240, 180, 18.0, 180.0, 160.0},
      {1.25, 150, 100, 6.0, 160.0, 140.0},
      // Larger than the screen and centred off it: one square; centred on it: four quarters.
      {1.0, 120, 80, 1000.0, -300.0, -250.0},
      {1.0, 120, 80, 1000.0, 160.0, 140.0},
      // A usual square centred far outside, and one centred 60 points above the bottom.
      {1.0, 120, 80, 13.0, -1000.0, 5000.0},
      {1.0, 120, 80, 30.0, 250.0, 160.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "ratio " << c.ratio << ", scale " << c.scale << ", centre "
                                      << c.centerX << "," << c.centerY);
    ContentSnapshot content =
        testing::pixelateContent({c.width / c.ratio, c.height / c.ratio}, 0.5);
    content.effectView->pixellate->scale = c.scale;
    content.effectView->pixellate->center = {c.centerX, c.centerY};
    const Image out = testing::windowContent(content, slopes(c.width, c.height), c.ratio);
    const double side = c.scale * c.ratio;
    const std::vector<int> columns = expectedEdges((c.centerX - 100.0) * c.ratio, side, c.width);
    const std::vector<int> rows =
        expectedEdges(c.height - (c.centerY - 100.0) * c.ratio, side, c.height);
    // Every row changes colour at the same columns, and every column at the same rows.
    for (int y = 0; y < c.height; y += 7) EXPECT_EQ(edges(out, y, true), columns) << "row " << y;
    for (int x = 0; x < c.width; x += 7) EXPECT_EQ(edges(out, x, false), rows) << "column " << x;
  }
}

TEST(Pixellate, EachSquareTakesTheMeanOfTheRenderingUnderIt) {
  // Without tint and blur, a square's colour is the mean of the pixels it covers.
  const Image image = slopes(64, 32);
  const Image out = testing::plainEffect(image, EffectKind::pixellate, 0.0, 16.0);
  for (int square = 0; square < 4; ++square) {
    double mean = 0.0;
    for (int x = square * 16; x < square * 16 + 16; ++x) mean += image.at(x, 0)[0];
    EXPECT_NEAR(out.at(square * 16 + 5, 3)[0], mean / 16.0, 1.0) << "square " << square;
  }
}

}  // namespace
}  // namespace platform::render
