// Reading the overlay's content view as the core leaves it, and laying that out in pixels.
#include "platform/render/effect_layout.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/filter.h"
#include "platform/view.h"
#include "render_helpers.h"

namespace platform::render {
namespace {

TEST(ContentSnapshot, SkipsWhatTheCoreLeavesWithoutEffect) {
  EXPECT_FALSE(snapshotContent(nullptr).effectView);
  // No layer on the content view: no tint.
  auto bare = View::create(makeRect(0, 0, 100, 100));
  EXPECT_FALSE(snapshotContent(bare.get()).layerBackgroundColor);

  auto content = View::create(makeRect(0, 0, 800, 600));
  content->setWantsLayer(true);
  auto effect = VisualEffectView::create(content->bounds());
  effect->setWantsLayer(true);
  // A filter that is not the pixellate filter, and a pixellate filter never given values.
  effect->layer()->setFilters({std::make_shared<Filter>("CIGaussianBlur"), nullptr});
  content->addSubview(effect);
  EXPECT_FALSE(snapshotContent(content.get()).effectView->pixellate);
  effect->layer()->setFilters({std::make_shared<Filter>(std::string(kPixellateFilterName))});
  const auto pixellate = snapshotContent(content.get()).effectView->pixellate;
  ASSERT_TRUE(pixellate);
  EXPECT_EQ(pixellate->scale, 8.0);
  EXPECT_EQ(pixellate->center, (FilterVector{150.0, 150.0}));
  // A value of the wrong kind takes the default too.
  auto odd = std::make_shared<Filter>(std::string(kPixellateFilterName));
  odd->setValue(FilterVector{1.0, 2.0}, kInputScaleKey);
  effect->layer()->setFilters({odd});
  EXPECT_EQ(snapshotContent(content.get()).effectView->pixellate->scale, 8.0);
}

TEST(EffectLayout, BlurCoversTheScreenAtTheIntensityAsAlpha) {
  struct Case {
    double ratio;
    double windowAlpha;
  };
  for (Case c : {Case{1.0, 1.0}, Case{1.5, 0.5}}) {
    const int w = int(400 * c.ratio);
    const int h = int(300 * c.ratio);
    const EffectLayout layout =
        layoutEffect(testing::blurContent({400, 300}, 0.7), w, h, c.ratio, c.windowAlpha);
    EXPECT_NEAR(layout.renderingWeight, 0.7 * c.windowAlpha, 1e-12);
    EXPECT_NEAR(layout.insideScale, 1.0 - 0.7 * c.windowAlpha, 1e-12);
    EXPECT_NEAR(layout.sigmaPixels, kBlurSigmaPoints * c.ratio, 1e-12);
  }
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
