// Re-rendering only what a change beneath can reach gives the pixels of a whole frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/render/effect_reach.h"
#include "render_helpers.h"

namespace platform::render {
namespace {

using testing::Image;

constexpr int kWidth = 480;
constexpr int kHeight = 320;

struct Effect {
  const char* name;
  ContentSnapshot (*make)(Size, double);
  int tolerance;  // the blur's running sums may round differently when they start elsewhere
};

const Effect kEffects[] = {
    {"dim", testing::dimContent, 0},
    {"blur", testing::blurContent, 1},
    {"pixelate", testing::pixelateContent, 0},
};

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

TEST(PartialRender, EqualsAWholeFrameAfterEveryChange) {
  for (const Effect& effect : kEffects) {
    for (double ratio : {1.0, 2.0}) {
      SCOPED_TRACE(::testing::Message() << effect.name << " at ratio " << ratio);
      // Final pixels at ratio 1, the window's own content at ratio 2.
      const bool blend = ratio == 1.0;
      const ContentSnapshot content =
          effect.make(Size{kWidth / ratio, kHeight / ratio}, effect.name[0] == 'p' ? 0.4 : 0.7);
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
        ASSERT_LE(largestDifference(out, whole), effect.tolerance) << "step " << step;
        if (effect.tolerance == 0) continue;
        // Seldom off by a level, or a reach one block short would pass unseen.
        std::size_t off = 0;
        for (std::size_t i = 0; i < out.pixels.size(); ++i) off += out.pixels[i] != whole.pixels[i];
        ASSERT_LT(off, out.pixels.size() / 1000) << "step " << step;
      }
    }
  }
}

// The work follows the change: dim rewrites just the change, the others what their reach
// adds to it, and a change off the screen nothing.
TEST(PartialRender, RewritesOnlyWhatAChangeReaches) {
  const PixelRect change{200, 140, 216, 156};
  for (const Effect& effect : kEffects) {
    SCOPED_TRACE(effect.name);
    const EffectLayout layout =
        layoutEffect(effect.make(Size{kWidth, kHeight}, 0.7), kWidth, kHeight, 1.0, 0.9);
    const PixelRect reach = reachOfChange(layout, change);
    if (layout.kind == EffectKind::none) {
      EXPECT_EQ(reach, change);
    } else {
      EXPECT_EQ(intersect(reach, change), change);
      EXPECT_LT(reach.width() * reach.height(), kWidth * kHeight / 4);
    }
    EXPECT_TRUE(reachOfChange(layout, {kWidth, 0, kWidth + 50, 50}).empty());
  }
}

TEST(PartialRender, MergesOverlappingReachesAndBoundsTheirNumber) {
  const EffectLayout layout =
      layoutEffect(testing::dimContent(Size{kWidth, kHeight}, 0.7), kWidth, kHeight, 1.0, 0.9);
  std::vector<PixelRect> reaches;
  const PixelRect chained[] = {{0, 0, 10, 10}, {50, 50, 60, 60}, {5, 5, 55, 55}};
  mergeReaches(layout, chained, reaches);
  ASSERT_EQ(reaches.size(), 1u);
  EXPECT_EQ(reaches[0], (PixelRect{0, 0, 60, 60}));

  std::vector<PixelRect> apart;
  for (int i = 0; i <= int(kMaxSeparateReaches); ++i) apart.push_back({i * 20, 0, i * 20 + 10, 10});
  mergeReaches(layout, apart, reaches);
  ASSERT_EQ(reaches.size(), 1u);
  EXPECT_EQ(reaches[0], (PixelRect{0, 0, int(kMaxSeparateReaches) * 20 + 10, 10}));
  apart.pop_back();
  mergeReaches(layout, apart, reaches);
  EXPECT_EQ(reaches.size(), kMaxSeparateReaches);
}

}  // namespace
}  // namespace platform::render
