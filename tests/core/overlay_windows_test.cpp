#include <gtest/gtest.h>

#include "platform/view.h"
#include "tests/core/sim_fixture.h"

namespace quillmere {
namespace {

using platform::makeRect;
using platform::Rect;

TEST_F(SimTest, OneOverlayPerScreenCoversItsWholeFrame) {
  sim->screens = {makeRect(0, 0, 1440, 900), makeRect(-800, 0, 800, 600)};
  QuillmereApp& app = makeDelegateWithOverlays();
  ASSERT_EQ(app.overlayWindows.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    platform::Window& window = *app.overlayWindows[i];
    const Rect screen = sim->screens[i];
    EXPECT_EQ(window.frame(), screen);
    EXPECT_EQ(window.level(), -1);
    EXPECT_TRUE(window.isVisible());

    platform::View* content = window.contentView();
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->frame(), makeRect(0, 0, screen.size.width, screen.size.height));
    EXPECT_NE(content->layer(), nullptr);
  }
}

TEST_F(SimTest, ContentIsInPlaceBeforeTheWindowFadesInOverHalfASecond) {
  QuillmereApp& app = makeDelegateWithOverlays();
  platform::Window& window = *app.overlayWindows[0];
  const platform::sim::SimWindow* shown = sim->findWindow(window);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->subviewsWhenShown, 1u);  // the blur view, before ordering front
  EXPECT_EQ(window.alphaValue(), 0.0);

  sim->advance(0.25);
  EXPECT_NEAR(window.alphaValue(), 0.5, 0.02);
  // A rebuild of the effect leaves the fade alone.
  const double alphaMidFade = window.alphaValue();
  app.currentMode = QuillmereApp::EffectMode::pixelate;
  app.updateOverlayEffect(window);
  EXPECT_EQ(window.alphaValue(), alphaMidFade);
  sim->advance(0.24);
  EXPECT_LT(window.alphaValue(), 1.0);
  sim->advance(0.02);
  EXPECT_EQ(window.alphaValue(), 1.0);
}

TEST_F(SimTest, ScreensAttachedLaterStayUncovered) {
  launch();
  sim->screens.push_back(makeRect(1440, 0, 1024, 768));
  sim->advance(1.0);
  EXPECT_EQ(delegateRef().overlayWindows.size(), 1u);
}

}  // namespace
}  // namespace quillmere
