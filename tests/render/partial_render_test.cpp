// Re-rendering only what a change beneath can reach gives the pixels of a whole frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "render_helpers.h"

namespace platform::render {
namespace {

using testing::Image;

constexpr int kWidth = 480;
constexpr int kHeight = 320;

// A change somewhere, often flush with an edge or in a corner, up to a fifth of the screen.
PixelRect randomChange(std::mt19937& random) {
  auto along = [&](int extent) {
    const int size = 1 + int(random() % std::uint32_t(extent / 5));
    switch (random() % 4) {
      case 0:
        return std::pair{0, size};
      case 1:
        return std::pair{extent - size, extent};
      default: {
        const int start = int(random() % std::uint32_t(extent - size + 1));
        return std::pair{start, start + size};
      }
    }
  };
  const auto [x0, x1] = along(kWidth);
  const auto [y0, y1] = along(kHeight);
  return {x0, y0, x1, y1};
}

void paint(Image& image, const PixelRect& area, std::mt19937& random) {
  const auto b = std::uint8_t(random()), g = std::uint8_t(random()), r = std::uint8_t(random());
  for (auto y = area.y0; y < area.y1; ++y) {
    for (auto x = area.x0; x < area.x1; ++x) {
      std::uint8_t* p = image.at(int(x), int(y));
      p[0] = b;
      p[1] = g;
      p[2] = r;
      p[3] = 255;
    }
  }
}

int largestDifference(const Image& a, const Image& b) {
  int largest = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    largest = std::max(largest, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
  }
  return largest;
}

// The blur alone: the X11 painter's PartialPaint test renders dim and pixelate in parts on a
// real server, where a blur's reach one block short would hide within its tolerance.
TEST(PartialRender, BlurEqualsAWholeFrameAfterEveryChange) {
  for (double ratio : {1.0, 2.0}) {
    SCOPED_TRACE(::testing::Message() << "ratio " << ratio);
    // Final pixels at ratio 1, the window's own content at ratio 2.
    const bool blend = ratio == 1.0;
    const ContentSnapshot content =
        testing::blurContent(Size{kWidth / ratio, kHeight / ratio}, 0.7);
    const EffectLayout layout = layoutEffect(content, kWidth, kHeight, ratio, blend ? 0.9 : 1.0);
    Image beneath = testing::gradientsWithEdges(kWidth, kHeight);
    const ConstPixelBuffer in = beneath.in();
    Image out(kWidth, kHeight);
    EffectRenderer incremental;
    incremental.renderLayout(layout, &in, blend, out.out());

    std::mt19937 random(22);
    std::vector<PixelRect> rewritten;
    for (int step = 0; step < 10; ++step) {
      std::vector<PixelRect> changes{randomChange(random)};
      if (step % 3 == 2) changes.push_back(randomChange(random));
      for (const PixelRect& change : changes) paint(beneath, change, random);
      incremental.renderChanges(layout, &in, blend, changes, out.out(), rewritten);

      Image whole(kWidth, kHeight);
      EffectRenderer().renderLayout(layout, &in, blend, whole.out());
      // The running sums may round differently when they start elsewhere, but seldom: a reach
      // one block short would be off by a level in many more places.
      ASSERT_LE(largestDifference(out, whole), 1) << "step " << step;
      std::size_t off = 0;
      for (std::size_t i = 0; i < out.pixels.size(); ++i) off += out.pixels[i] != whole.pixels[i];
      ASSERT_LT(off, out.pixels.size() / 1000) << "step " << step;
    }
  }
}

}  // namespace
}  // namespace platform::render
