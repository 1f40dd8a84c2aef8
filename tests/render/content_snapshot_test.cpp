// Reading the overlay's content view as the core leaves it.
#include <gtest/gtest.h>

#include "platform/filter.h"
#include "platform/render/effect_renderer.h"
#include "platform/view.h"

namespace platform::render {
namespace {

std::shared_ptr<View> layerBackedContentView() {
  auto view = View::create(makeRect(0, 0, 800, 600));
  view->setWantsLayer(true);
  return view;
}

TEST(ContentSnapshot, ReadsTheDimTint) {
  auto content = layerBackedContentView();
  content->layer()->setBackgroundColor(Color::blackColor().withAlphaComponent(0.63));
  const ContentSnapshot snapshot = snapshotContent(content.get());
  EXPECT_EQ(snapshot.size, (Size{800, 600}));
  ASSERT_TRUE(snapshot.layerBackgroundColor);
  EXPECT_EQ(snapshot.layerBackgroundColor->alpha, 0.63);
  EXPECT_FALSE(snapshot.effectView);
}

TEST(ContentSnapshot, ReadsTheBlurringView) {
  auto content = layerBackedContentView();
  auto effect = VisualEffectView::create(content->bounds());
  effect->setMaterial(VisualEffectMaterial::hudWindow);
  effect->setState(VisualEffectState::active);
  effect->setAlphaValue(0.7);
  content->addSubview(effect);
  const ContentSnapshot snapshot = snapshotContent(content.get());
  ASSERT_TRUE(snapshot.effectView);
  EXPECT_EQ(snapshot.effectView->frame, content->bounds());
  EXPECT_EQ(snapshot.effectView->material, VisualEffectMaterial::hudWindow);
  EXPECT_EQ(snapshot.effectView->state, VisualEffectState::active);
  EXPECT_EQ(snapshot.effectView->alpha, 0.7);
  EXPECT_FALSE(snapshot.effectView->pixellate);
}

TEST(ContentSnapshot, ReadsThePixellateFilterOnTheEffectViewsLayer) {
  auto content = layerBackedContentView();
  auto effect = VisualEffectView::create(insetRect(content->bounds(), -100, -100));
  effect->setWantsLayer(true);
  auto filter = Filter::filterWithName(kPixellateFilterName);
  filter->setDefaults();
  filter->setValue(42.0, kInputScaleKey);
  filter->setValue(FilterVector{500.0, 400.0}, kInputCenterKey);
  effect->layer()->setFilters({filter});
  content->addSubview(effect);
  const ContentSnapshot snapshot = snapshotContent(content.get());
  ASSERT_TRUE(snapshot.effectView && snapshot.effectView->pixellate);
  EXPECT_EQ(snapshot.effectView->pixellate->scale, 42.0);
  EXPECT_EQ(snapshot.effectView->pixellate->center, (FilterVector{500.0, 400.0}));
}

TEST(ContentSnapshot, SkipsWhatTheCoreLeavesWithoutEffect) {
  EXPECT_FALSE(snapshotContent(nullptr).effectView);
  // No layer on the content view: no tint.
  auto bare = View::create(makeRect(0, 0, 100, 100));
  EXPECT_FALSE(snapshotContent(bare.get()).layerBackgroundColor);

  auto content = layerBackedContentView();
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

}  // namespace
}  // namespace platform::render
