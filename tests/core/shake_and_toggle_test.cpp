#include <gtest/gtest.h>

#include <cmath>

#include "tests/core/sim_fixture.h"

namespace quillmere {
namespace {

using platform::Point;

class ShakeTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    app = &makeDelegateWithOverlays();
    app->startMonitoring();
    sim->advance(1.0);  // the fade-in is over
  }

  void moveTo(double x, double y) { sim->movePointerTo(Point{x, y}); }
  double total() const { return QuillmereAppInspector::shakeTotal(*app); }
  bool enabled() const { return QuillmereAppInspector::isEffectEnabled(*app); }

  QuillmereApp* app = nullptr;
};

// The first event only records the position; after it, long steps add and short ones decay.
TEST_F(ShakeTest, LongStepsAddAndShortStepsDecay) {
  QuillmereAppInspector::setShakeTotal(*app, 10.0);
  moveTo(500, 500);
  EXPECT_EQ(total(), 10.0);
  moveTo(530, 540);  // 50: long
  EXPECT_EQ(total(), 60.0);
  moveTo(548, 564);  // exactly 30: short
  EXPECT_DOUBLE_EQ(total(), 54.0);
  moveTo(548, 564);  // no movement decays too
  EXPECT_DOUBLE_EQ(total(), 48.6);
  moveTo(548, 594.000001);  // just over 30: long
  EXPECT_DOUBLE_EQ(total(), 78.600001);
  EXPECT_EQ(QuillmereAppInspector::lastMouseLocation(*app), (Point{548, 594.000001}));
}

TEST_F(ShakeTest, TotalMustExceedSixHundred) {
  moveTo(0, 0);
  for (int i = 1; i <= 6; ++i) moveTo(i % 2 ? 100 : 0, 0);  // six steps of 100
  EXPECT_EQ(total(), 600.0);
  EXPECT_TRUE(enabled());
  // The smallest total above 600 toggles: 560 and a bit, then a long step of 40.
  QuillmereAppInspector::setShakeTotal(*app, std::nextafter(560.0, 600.0));
  moveTo(40, 0);
  EXPECT_FALSE(enabled());
  EXPECT_EQ(total(), 0.0);
  EXPECT_EQ(QuillmereAppInspector::lastMouseLocation(*app), (Point{40, 0}));
  EXPECT_EQ(sim->standardOutput, std::vector<std::string>{"Toggled effect: false"});
}

TEST_F(ShakeTest, ToggleFadesEveryOverlayOverAThirdOfASecond) {
  platform::Window& window = *app->overlayWindows[0];
  app->toggleEffect();
  EXPECT_EQ(window.alphaValue(), 1.0);
  sim->advance(0.29);
  EXPECT_GT(window.alphaValue(), 0.0);
  sim->advance(0.02);
  EXPECT_EQ(window.alphaValue(), 0.0);
  EXPECT_TRUE(window.isVisible());  // off means transparent, not gone
}

TEST_F(ShakeTest, QuickSuccessiveTogglesEndAtTheLastTarget) {
  platform::Window& window = *app->overlayWindows[0];
  app->toggleEffect();
  sim->advance(0.1);
  app->toggleEffect();
  sim->advance(0.31);
  EXPECT_EQ(window.alphaValue(), 1.0);
  EXPECT_EQ(sim->standardOutput,
            (std::vector<std::string>{"Toggled effect: false", "Toggled effect: true"}));
}

TEST_F(SimTest, ContentIsInPlaceBeforeTheWindowFadesInOverHalfASecond) {
  QuillmereApp& app = makeDelegateWithOverlays();
  platform::Window& window = *app.overlayWindows[0];
  const platform::sim::SimWindow* shown = sim->findWindow(window);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->subviewsWhenShown, 1u);  // the blur view, before ordering front
  EXPECT_EQ(window.alphaValue(), 0.0);

  sim->advance(0.25);
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

TEST_F(SimTest, ToggleWithoutOverlaysStillFlipsAndReports) {
  QuillmereApp& app = makeDelegate();
  app.toggleEffect();
  EXPECT_FALSE(QuillmereAppInspector::isEffectEnabled(app));
  EXPECT_EQ(sim->standardOutput, std::vector<std::string>{"Toggled effect: false"});
}

}  // namespace
}  // namespace quillmere
