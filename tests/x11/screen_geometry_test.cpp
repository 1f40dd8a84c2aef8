#include "platform/x11/screen_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

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

  // No screens at all is possible too.
  const ScreenGeometry none({}, 0);
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(none.frames().empty());
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

// Qt rounds a 1366-pixel monitor at 1.5 to 911 points and a 1024-pixel one to 683; the
// monitors' own pixels give back the exact sizes, so the two meet without gap or overlap.
TEST(ScreenGeometry, MonitorsAtFractionalRatiosKeepTheirExactPixels) {
  const std::vector<PixelRect> monitors = {{1366, 0, 1024, 600}, {0, 0, 1366, 768}};
  for (double ratio : {1.0, 1.5, 2.0}) {
    SCOPED_TRACE(ratio);
    const ScreenGeometry screens(
        {screenLayoutFrom({0, 0, int(std::lround(1366 / ratio)), int(std::lround(768 / ratio))},
                          ratio, monitors),
         screenLayoutFrom({1366, 0, int(std::lround(1024 / ratio)), int(std::lround(600 / ratio))},
                          ratio, monitors)},
        0);
    const std::vector<Rect> frames = screens.frames();
    EXPECT_DOUBLE_EQ(frames[0].size.width, 1366 / ratio);
    EXPECT_EQ(screens.pixelRectFrom(frames[0]), (PixelRect{0, 0, 1366, 768}));
    EXPECT_EQ(screens.pixelRectFrom(frames[1]), (PixelRect{1366, 0, 1024, 600}));
    // The last pixel column of the first monitor is in points on the first one.
    EXPECT_DOUBLE_EQ(screens.pointFromPixel(1365, 0).x, 1365 / ratio);
    EXPECT_EQ(screens.pointFromPixel(1366, 0).x, 1366);
  }
  // Mixed ratios, and a monitor that the server does not list: Qt's size it is.
  const ScreenGeometry mixed({screenLayoutFrom({0, 0, 683, 384}, 2.0, monitors),
                              screenLayoutFrom({1366, 0, 1024, 600}, 1.0, {})},
                             0);
  EXPECT_EQ(mixed.pixelRectFrom(mixed.frames()[0]), (PixelRect{0, 0, 1366, 768}));
  EXPECT_EQ(mixed.pixelRectFrom(mixed.frames()[1]), (PixelRect{1366, 0, 1024, 600}));
  EXPECT_EQ(mixed.pointFromPixel(1200, 600), (Point{600, 84}));
}

}  // namespace
}  // namespace platform::x11
