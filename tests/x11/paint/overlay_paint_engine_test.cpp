#include "platform/x11/paint/overlay_paint_engine.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "private_display.h"
#include "test_desktop.h"

namespace {

using platform::x11::OverlayPaintEngine;
using quillmere::test::blue;
using quillmere::test::green;
using quillmere::test::PrivateDisplay;
using quillmere::test::red;
using quillmere::test::TestDesktop;
namespace render = platform::render;

constexpr QRect kScreen(0, 0, 320, 240);

render::ContentSnapshot dimContent(double intensity) {
  render::ContentSnapshot content;
  content.size = {320, 240};
  content.layerBackgroundColor = platform::Color::blackColor().withAlphaComponent(intensity * 0.9);
  return content;
}

render::ContentSnapshot blurContent(double intensity) {
  render::ContentSnapshot content;
  content.size = {320, 240};
  render::EffectViewSnapshot view;
  view.frame = platform::makeRect(0, 0, 320, 240);
  view.material = platform::VisualEffectMaterial::hudWindow;
  view.alpha = intensity;
  content.effectView = view;
  return content;
}

render::ContentSnapshot pixelateContent(double intensity) {
  render::ContentSnapshot content;
  content.size = {320, 240};
  render::EffectViewSnapshot view;
  view.frame = platform::insetRect(platform::makeRect(0, 0, 320, 240), -100, -100);
  view.material = platform::VisualEffectMaterial::underWindowBackground;
  view.pixellate = render::PixellateSnapshot{intensity * 60.0, {160.0 + 100.0, 120.0 + 100.0}};
  content.effectView = view;
  return content;
}

// Runs the event loop until the condition holds, for at most five seconds.
bool waitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

bool near(std::uint32_t pixel, int r, int g, int b, int tolerance) {
  return std::abs(red(pixel) - r) <= tolerance && std::abs(green(pixel) - g) <= tolerance &&
         std::abs(blue(pixel) - b) <= tolerance;
}

std::string hex(std::uint32_t pixel) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06x", pixel);
  return text;
}

class OverlayPaint : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    ASSERT_TRUE(desktop.connected());
    if (GetParam())
      compositor = display.start({"picom", "--backend", "xrender", "--config", "/dev/null"});
    engine = std::make_unique<OverlayPaintEngine>(QByteArray::fromStdString(display.name()));
    ASSERT_TRUE(engine->available());
    ASSERT_TRUE(waitUntil([&] { return engine->compositorActive() == GetParam(); }));
  }

  void setBackground(const std::vector<std::string>& hsetrootArguments) {
    std::vector<std::string> argv{"hsetroot"};
    argv.insert(argv.end(), hsetrootArguments.begin(), hsetrootArguments.end());
    ASSERT_TRUE(display.run(argv));
  }

  xcb_window_t addOverlay(const render::ContentSnapshot& content) {
    const xcb_window_t window = desktop.createOverlay(kScreen);
    engine->addOverlay(window, kScreen, 1.0);
    engine->setContent(window, content);
    return window;
  }

  // Waits until the screen shows the colour at (x, y), within a tolerance per channel.
  ::testing::AssertionResult shows(int x, int y, int r, int g, int b, int tolerance = 2) {
    std::uint32_t last = 0;
    if (waitUntil([&] { return near(last = desktop.pixel(x, y), r, g, b, tolerance); })) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "at (" << x << ", " << y << ") the screen shows " << hex(last);
  }

  PrivateDisplay display{kScreen.width(), kScreen.height()};
  TestDesktop desktop{display.name()};
  pid_t compositor = -1;
  std::unique_ptr<OverlayPaintEngine> engine;
};

TEST_P(OverlayPaint, DimTintsTheWallpaperAndFadesToNothing) {
  setBackground({"-solid", "#ffffff"});
  const xcb_window_t overlay = addOverlay(dimContent(0.7));
  EXPECT_TRUE(shows(160, 120, 94, 94, 94));

  engine->setWindowAlpha(overlay, 0.5);
  EXPECT_TRUE(shows(160, 120, 175, 175, 175, 3));

  // At alpha 0 the overlay has no shape at all, so the wallpaper shows unchanged.
  engine->setWindowAlpha(overlay, 0.0);
  EXPECT_TRUE(shows(160, 120, 255, 255, 255, 0));
  EXPECT_EQ(desktop.boundingRectangles(overlay), 0);

  engine->setWindowAlpha(overlay, 1.0);
  EXPECT_TRUE(shows(160, 120, 94, 94, 94));
  EXPECT_EQ(desktop.boundingRectangles(overlay), 1);
}

// Both materials tint, so a painted frame differs from the bare wallpaper; a uniform wallpaper
// must give a uniform frame, edges and corners included.
TEST_P(OverlayPaint, BlurAndPixelateKeepAUniformWallpaperUniform) {
  setBackground({"-solid", "#4080c0"});
  const xcb_window_t overlay = addOverlay(dimContent(0.0));
  const QPoint samples[] = {{0, 0},   {319, 0},  {0, 239},  {319, 239}, {160, 0},
                            {0, 120}, {40, 200}, {250, 30}, {161, 121}};
  for (const auto& content : {blurContent(0.7), pixelateContent(0.7), blurContent(1.0)}) {
    engine->setContent(overlay, content);
    std::uint32_t centre = 0;
    const bool uniform = waitUntil([&] {
      centre = desktop.pixel(160, 120);
      if (near(centre, 0x40, 0x80, 0xc0, 2)) return false;
      for (const QPoint p : samples) {
        if (!near(desktop.pixel(p.x(), p.y()), red(centre), green(centre), blue(centre), 2)) {
          return false;
        }
      }
      return true;
    });
    EXPECT_TRUE(uniform) << "centre " << hex(centre) << ", corner " << hex(desktop.pixel(0, 0));
  }
}

INSTANTIATE_TEST_SUITE_P(Compositing, OverlayPaint, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "picom" : "none"; });

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
