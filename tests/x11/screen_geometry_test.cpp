#include "platform/x11/screen_geometry.h"

#include <gtest/gtest.h>

namespace platform::x11 {
namespace {

// A 1920x1080 primary at the X origin, and a 2560x1440-pixel monitor at ratio 2 to its right,
// 100 pixels lower down.
ScreenGeometry twoMonitors() {
  return ScreenGeometry({{0, 0, 1920, 1080, 1.0}, {1920, 100, 1280, 720, 2.0}}, 0);
}

TEST(ScreenGeometry, FramesAreGlobalPointsFromThePrimarysBottomLeft) {
  const std::vector<Rect> frames = twoMonitors().frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], makeRect(0, 0, 1920, 1080));
  // Its top is 100 points below the primary's top, so its bottom is 100+720-1080 = -260.
  EXPECT_EQ(frames[1], makeRect(1920, 1080 - 820, 1280, 720));

  // A primary that is not first in Qt's list still sets the origin.
  ScreenGeometry secondPrimary({{0, 0, 800, 600, 1.0}, {800, 0, 1024, 768, 1.0}}, 1);
  EXPECT_EQ(secondPrimary.frames()[0], makeRect(0, 168, 800, 600));
  EXPECT_EQ(secondPrimary.frames()[1], makeRect(800, 0, 1024, 768));
}

TEST(ScreenGeometry, PixelsAndPointsConvertBothWaysPerMonitorScale) {
  const ScreenGeometry screens = twoMonitors();
  EXPECT_EQ(screens.pointFromPixel(0, 0), (Point{0, 1080}));
  EXPECT_EQ(screens.pointFromPixel(100, 1079), (Point{100, 1}));
  // On the scaled monitor, pixels from its own corner count half.
  EXPECT_EQ(screens.pointFromPixel(1920 + 200, 100 + 400), (Point{2020, 1080 - 300}));

  const std::vector<Rect> frames = screens.frames();
  EXPECT_EQ(screens.pixelRectFrom(frames[0]), (PixelRect{0, 0, 1920, 1080}));
  EXPECT_EQ(screens.pixelRectFrom(frames[1]), (PixelRect{1920, 100, 2560, 1440}));
  EXPECT_EQ(screens.devicePixelRatioFor(frames[1]), 2.0);
  EXPECT_EQ(screens.devicePixelRatioFor(frames[0]), 1.0);
}

TEST(ScreenGeometry, NoScreensIsPossible) {
  const ScreenGeometry none({}, 0);
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(none.frames().empty());
}

}  // namespace
}  // namespace platform::x11
