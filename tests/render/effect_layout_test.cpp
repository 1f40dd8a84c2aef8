// The content view's snapshot in pixels: where the effect view lands, what it adds, and the
// square grid, with rows counted from the top.
#include "platform/render/effect_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render_helpers.h"

namespace platform::render {
namespace {

TEST(EffectLayout, BlurCoversTheScreenAtTheIntensityAsAlpha) {
  struct Case {
    double ratio;
    double windowAlpha;
  };
  for (Case c : {Case{1.0, 1.0}, Case{2.0, 0.5}, Case{1.5, 0.9}}) {
    const int w = int(400 * c.ratio);
    const int h = int(300 * c.ratio);
    const EffectLayout layout =
        layoutEffect(testing::blurContent({400, 300}, 0.7), w, h, c.ratio, c.windowAlpha);
    EXPECT_EQ(layout.kind, EffectKind::blur);
    EXPECT_EQ(layout.frame, (PixelRect{0, 0, w, h}));
    EXPECT_EQ(layout.visible, layout.frame);
    EXPECT_NEAR(layout.renderingWeight, 0.7 * c.windowAlpha, 1e-12);
    EXPECT_NEAR(layout.insideScale, 1.0 - 0.7 * c.windowAlpha, 1e-12);
    EXPECT_NEAR(layout.sigmaPixels, kBlurSigmaPoints * c.ratio, 1e-12);
    EXPECT_EQ(layout.look.tint, kHudWindowLook.tint);
  }
}

TEST(EffectLayout, PixelateReachesPastTheScreenWithSquaresThroughItsCentre) {
  struct Case {
    double ratio;
    double intensity;
    double side;
  };
  for (Case c : {Case{1.0, 0.7, 42.0}, Case{2.0, 0.1, 12.0}, Case{1.5, 0.5, 45.0}}) {
    const int w = int(800 * c.ratio);
    const int h = int(600 * c.ratio);
    const EffectLayout layout =
        layoutEffect(testing::pixelateContent({800, 600}, c.intensity), w, h, c.ratio, 1.0);
    EXPECT_EQ(layout.kind, EffectKind::pixellate);
    const auto margin = std::int64_t(100 * c.ratio);
    EXPECT_EQ(layout.frame, (PixelRect{-margin, -margin, w + margin, h + margin}));
    EXPECT_EQ(layout.visible, (PixelRect{0, 0, w, h}));
    EXPECT_EQ(layout.renderingWeight, 1.0);
    EXPECT_EQ(layout.look.tint, kUnderWindowBackgroundLook.tint);
    EXPECT_NEAR(layout.squares.side, c.side, 1e-9);
    // A grid line through the middle of the screen, both ways.
    const double x = w / 2.0 - layout.squares.originX;
    const double y = h / 2.0 - layout.squares.originY;
    EXPECT_NEAR(x / c.side, std::round(x / c.side), 1e-9);
    EXPECT_NEAR(y / c.side, std::round(y / c.side), 1e-9);
  }
}

TEST(EffectLayout, WithinTheWindowTheEffectViewTintsTheContentViewsFill) {
  ContentSnapshot content = testing::blurContent({100, 100}, 0.5);
  content.effectView->blendingMode = VisualEffectBlendingMode::withinWindow;
  const EffectLayout layout = layoutEffect(content, 100, 100, 1.0, 1.0);
  EXPECT_EQ(layout.kind, EffectKind::solid);
  const Levels tint = applyMaterial(Levels{}, kHudWindowLook);
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(layout.insideAdd[c], 0.5 * tint[c], 1e-9);
  EXPECT_NEAR(layout.insideScale, 1.0 - 0.5 * tint[3] / 255.0, 1e-12);
}

TEST(EffectLayout, ShowsNothingForAnEffectViewItCannotPlace) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  auto layoutWith = [](auto change) {
    ContentSnapshot content = testing::blurContent({100, 100}, 0.7);
    change(*content.effectView);
    return layoutEffect(content, 100, 100, 1.0, 1.0).kind;
  };
  EXPECT_EQ(layoutWith([&](EffectViewSnapshot& v) { v.alpha = nan; }), EffectKind::none);
  EXPECT_EQ(layoutWith([&](EffectViewSnapshot& v) { v.alpha = 0.0; }), EffectKind::none);
  EXPECT_EQ(layoutWith([&](EffectViewSnapshot& v) { v.frame.size.width = inf; }), EffectKind::none);
  EXPECT_EQ(layoutWith([&](EffectViewSnapshot& v) { v.frame.size.height = -5.0; }),
            EffectKind::none);
  EXPECT_EQ(layoutWith([&](EffectViewSnapshot& v) { v.frame.origin.x = 5000.0; }),
            EffectKind::none);
  // A usable view with an absurd square keeps a whole-pixel grid.
  ContentSnapshot content = testing::pixelateContent({100, 100}, 0.7);
  content.effectView->pixellate->scale = nan;
  content.effectView->pixellate->center = {inf, -inf};
  const EffectLayout layout = layoutEffect(content, 100, 100, nan, nan);
  EXPECT_EQ(layout.kind, EffectKind::pixellate);
  EXPECT_EQ(layout.squares.side, 1.0);
  EXPECT_EQ(layout.renderingWeight, 0.0);  // a window alpha that is not a number shows nothing
}

}  // namespace
}  // namespace platform::render
