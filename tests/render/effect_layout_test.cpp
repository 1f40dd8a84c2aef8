// Reading the overlay's content view as the core leaves it, and laying that out in pixels.
#include "platform/render/effect_layout.h"

#include <gtest/gtest.h>

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
  for (auto [ratio, windowAlpha] : {std::pair{1.0, 1.0}, std::pair{1.5, 0.5}}) {
    const int w = int(400 * ratio);
    const int h = int(300 * ratio);
    const EffectLayout layout =
        layoutEffect(testing::blurContent({400, 300}, 0.7), w, h, ratio, windowAlpha);
    EXPECT_NEAR(layout.renderingWeight, 0.7 * windowAlpha, 1e-12);
    EXPECT_NEAR(layout.insideScale, 1.0 - 0.7 * windowAlpha, 1e-12);
    EXPECT_NEAR(layout.sigmaPixels, kBlurSigmaPoints * ratio, 1e-12);
  }
}

}  // namespace
}  // namespace platform::render
