#include "platform/x11/screen_geometry.h"

#include <gtest/gtest.h>

namespace platform::x11 {
namespace {

// The frames and pixel rectangles of the overlays are pinned through the real program, on two
// unequal monitors at ratios 1, 1.5 and mixed, to the last pixel (paint/monitor_launch_test.cpp);
// here the pointer's pixels in global points, for the shake.
TEST(ScreenGeometry, PointerPixelsAreGlobalPointsAtEachMonitorsScale) {
  // A 1920x1080 primary at the X origin, and a 2560x1440-pixel monitor at ratio 2 to its right,
  // 100 pixels lower down.
  const ScreenGeometry screens({{0, 0, 1920, 1080, 1.0}, {1920, 100, 1280, 720, 2.0}}, 0);
  EXPECT_EQ(screens.pointFromPixel(0, 0), (Point{0, 1080}));
  EXPECT_EQ(screens.pointFromPixel(100, 1079), (Point{100, 1}));
  // On the scaled monitor, pixels from its own corner count half.
  EXPECT_EQ(screens.pointFromPixel(1920 + 200, 100 + 400), (Point{2020, 1080 - 300}));

  // Qt rounds a 1366-pixel monitor at ratio 2 to 683 points; the server's exact pixels count.
  const ScreenGeometry mixed({screenLayoutFrom({0, 0, 683, 384}, 2.0, {{0, 0, 1366, 768}}),
                              screenLayoutFrom({1366, 0, 1024, 600}, 1.0, {})},
                             0);
  EXPECT_EQ(mixed.pointFromPixel(1200, 600), (Point{600, 84}));
  EXPECT_EQ(mixed.pointFromPixel(1366, 0).x, 1366);
}

}  // namespace
}  // namespace platform::x11
