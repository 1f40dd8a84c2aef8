#include <gtest/gtest.h>

#include "platform/filter.h"
#include "platform/view.h"
#include "tests/core/sim_fixture.h"

namespace quillmere {
namespace {

using platform::FilterVector;
using platform::makeRect;
using platform::View;
using platform::VisualEffectView;
using EffectMode = QuillmereApp::EffectMode;

class EffectRenderingTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim->screens = {makeRect(0, 0, 800, 600)};
    app = &makeDelegateWithOverlays();
    window = app->overlayWindows.at(0).get();
  }

  void render(EffectMode mode, double intensity) {
    app->currentMode = mode;
    app->intensity = intensity;
    app->updateOverlayEffect(*window);
  }

  View& content() { return *window->contentView(); }
  const VisualEffectView* effectView() {
    if (content().subviews().size() != 1) return nullptr;
    return dynamic_cast<const VisualEffectView*>(content().subviews()[0].get());
  }

  QuillmereApp* app = nullptr;
  platform::Window* window = nullptr;
};

// What each effect shows at the usual intensity is pinned in pixels by monitor_launch_test.cpp
// (the dim at other intensities by the GNOME scenarios); here the pixelate filter at another.
TEST_F(EffectRenderingTest, PixelateCarriesItsFilterScaledByTheIntensityAtFullAlpha) {
  render(EffectMode::pixelate, 0.25);
  const VisualEffectView* view = effectView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->alphaValue(), 1.0);
  ASSERT_NE(view->layer(), nullptr);
  ASSERT_EQ(view->layer()->filters().size(), 1u);
  const platform::Filter& filter = *view->layer()->filters()[0];
  EXPECT_EQ(filter.name(), "CIPixellate");
  EXPECT_EQ(filter.value(platform::kInputScaleKey), platform::FilterValue(15.0));
  EXPECT_EQ(filter.value(platform::kInputCenterKey),
            platform::FilterValue(FilterVector{500.0, 400.0}));
}

TEST_F(EffectRenderingTest, EveryOrderOfModesLeavesOnlyTheLastEffect) {
  const EffectMode modes[] = {EffectMode::blur, EffectMode::pixelate, EffectMode::dim};
  for (EffectMode first : modes) {
    for (EffectMode second : modes) {
      render(first, 0.7);
      // A filter left behind the content is cleared by the rebuild.
      content().layer()->setBackgroundFilters(
          {platform::Filter::filterWithName(platform::kPixellateFilterName)});
      render(second, 0.5);
      SCOPED_TRACE(std::string(QuillmereApp::rawValue(first)) + " then " +
                   std::string(QuillmereApp::rawValue(second)));
      if (second == EffectMode::dim) {
        EXPECT_TRUE(content().subviews().empty());
        EXPECT_TRUE(content().layer()->backgroundColor().has_value());
      } else {
        ASSERT_NE(effectView(), nullptr);
        EXPECT_EQ(content().layer()->backgroundColor(), std::nullopt);
        EXPECT_EQ(effectView()->layer() != nullptr, second == EffectMode::pixelate);
      }
      EXPECT_TRUE(content().layer()->backgroundFilters().empty());
    }
  }
}

}  // namespace
}  // namespace quillmere
