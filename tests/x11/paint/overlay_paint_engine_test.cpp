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

#include "../../render/render_helpers.h"
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
  return render::testing::dimContent({320, 240}, intensity);
}
render::ContentSnapshot blurContent(double intensity) {
  return render::testing::blurContent({320, 240}, intensity);
}
render::ContentSnapshot pixelateContent(double intensity) {
  return render::testing::pixelateContent({320, 240}, intensity);
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

// What the screen shows for the content over a uniform colour, as the renderer itself makes it.
// A compositor blends the window's content to the same pixels.
std::uint32_t renderedOver(const render::ContentSnapshot& content, std::uint32_t rgb) {
  const render::testing::Image beneath = render::testing::uniformImage(
      kScreen.width(), kScreen.height(), blue(rgb), green(rgb), red(rgb));
  const render::testing::Image out = render::testing::finalPixels(content, beneath, 1.0, 1.0);
  const std::uint8_t* p = out.at(160, 120);
  return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
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
  ::testing::AssertionResult shows(int x, int y, std::uint32_t rgb) {
    return shows(x, y, red(rgb), green(rgb), blue(rgb));
  }
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

// The backend hands a window over again when its screen changes, at whatever alpha it has.
TEST_P(OverlayPaint, AWindowHandedOverAgainKeepsItsAlpha) {
  setBackground({"-solid", "#ffffff"});
  const xcb_window_t overlay = addOverlay(dimContent(0.7));
  engine->setWindowAlpha(overlay, 0.0);
  engine->removeOverlay(overlay);
  engine->addOverlay(overlay, kScreen, 1.0);
  engine->setContent(overlay, dimContent(0.7));
  engine->setWindowAlpha(overlay, 0.0);
  EXPECT_TRUE(shows(160, 120, 255, 255, 255, 0));
  EXPECT_EQ(desktop.boundingRectangles(overlay), 0);

  engine->removeOverlay(overlay);
  engine->addOverlay(overlay, kScreen, 1.0);
  engine->setContent(overlay, dimContent(0.7));
  engine->setWindowAlpha(overlay, 1.0);
  EXPECT_TRUE(shows(160, 120, 94, 94, 94));
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

// The desktop window stands in for the wallpaper; the windows below the overlay show through
// it, and follow their own changes (Damage) and their going away (the stacking order). Blur
// reads what lies beneath with a compositor too; the points lie far from every edge.
TEST_P(OverlayPaint, ShowsTheWindowsBelowAndFollowsThem) {
  setBackground({"-solid", "#ffffff"});
  const xcb_window_t desktopWindow = desktop.createWindow(kScreen, 0xff0000);
  desktop.setDesktopType(desktopWindow);
  const xcb_window_t below = desktop.createWindow(QRect(10, 10, 140, 120), 0x0000ff);
  const auto blur = blurContent(0.7);
  const xcb_window_t overlay = addOverlay(blur);
  const xcb_window_t above = desktop.createWindow(QRect(180, 140, 140, 100), 0x00ff00);

  EXPECT_TRUE(shows(260, 60, renderedOver(blur, 0xff0000)));
  EXPECT_TRUE(shows(80, 70, renderedOver(blur, 0x0000ff)));
  EXPECT_TRUE(shows(250, 190, 0, 255, 0, 0));

  desktop.setColor(below, 0xffff00);
  EXPECT_TRUE(shows(80, 70, renderedOver(blur, 0xffff00)));

  desktop.destroy(below);
  EXPECT_TRUE(shows(80, 70, renderedOver(blur, 0xff0000)));

  // Restacked below the overlay, with no change of its own content.
  desktop.lower(above);
  desktop.lower(desktopWindow);
  EXPECT_TRUE(shows(250, 190, renderedOver(blur, 0x00ff00)));

  // Changes while the overlay is hidden show when it returns, and later ones still arrive.
  engine->setWindowAlpha(overlay, 0.0);
  EXPECT_TRUE(shows(250, 190, 0, 255, 0, 0));
  desktop.setColor(above, 0x00ffff);
  EXPECT_TRUE(shows(250, 190, 0, 255, 255, 0));
  desktop.setColor(above, 0xff00ff);
  EXPECT_TRUE(shows(250, 190, 255, 0, 255, 0));
  engine->setWindowAlpha(overlay, 1.0);
  EXPECT_TRUE(shows(250, 190, renderedOver(blur, 0xff00ff)));
  desktop.setColor(above, 0x0000ff);
  EXPECT_TRUE(shows(250, 190, renderedOver(blur, 0x0000ff)));
}

// Under a window manager the windows beneath are read through their frames.
TEST_P(OverlayPaint, ReadsManagedWindowsThroughTheirFrames) {
  setBackground({"-solid", "#ffffff"});
  display.start({"openbox", "--config-file", "/etc/xdg/openbox/rc.xml"});
  const xcb_window_t client = desktop.createWindow(QRect(40, 40, 200, 150), 0x00c000, true);
  ASSERT_TRUE(waitUntil([&] { return desktop.isFramed(client); }));
  const auto blur = blurContent(0.7);
  addOverlay(blur);
  ASSERT_TRUE(waitUntil([&] { return desktop.rootPosition(client).x() >= 0; }));
  const QPoint middle = desktop.rootPosition(client) + QPoint(100, 75);
  EXPECT_TRUE(shows(middle.x(), middle.y(), renderedOver(blur, 0x00c000)));
  desktop.setColor(client, 0xc000c0);
  EXPECT_TRUE(shows(middle.x(), middle.y(), renderedOver(blur, 0xc000c0)));
}

// Squares of intensity x 60 points whose edges pass through the centre of the screen, over a
// wallpaper that changes in both directions.
TEST_P(OverlayPaint, PixelateSquaresLieOnTheGridThroughTheCentre) {
  setBackground({"-add", "#000000", "-add", "#ffffff", "-gradient", "45"});
  addOverlay(pixelateContent(0.7));  // 42 pixels
  const QRect square(160, 120, 42, 42);
  std::vector<std::uint32_t> pixels;
  const auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y * 320 + x)]; };
  const bool squareIsUniform = waitUntil([&] {
    pixels = desktop.screen(kScreen);
    if (pixels.empty() || at(160, 120) == 0) return false;  // not painted yet
    for (int y = square.top(); y <= square.bottom(); ++y) {
      for (int x = square.left(); x <= square.right(); ++x) {
        if (!near(at(x, y), red(at(160, 120)), green(at(160, 120)), blue(at(160, 120)), 1)) {
          return false;
        }
      }
    }
    return true;
  });
  ASSERT_TRUE(squareIsUniform);
  const auto differs = [](std::uint32_t a, std::uint32_t b) {
    return !near(a, red(b), green(b), blue(b), 4);
  };
  EXPECT_TRUE(differs(at(159, 130), at(160, 130)));
  EXPECT_TRUE(differs(at(201, 130), at(202, 130)));
  EXPECT_TRUE(differs(at(170, 119), at(170, 120)));
  EXPECT_TRUE(differs(at(170, 161), at(170, 162)));
  EXPECT_FALSE(differs(at(118, 130), at(159, 130)));
}

// Other clients may leave anything in the wallpaper properties.
TEST_P(OverlayPaint, FallsBackFromABadWallpaperPropertyAndThenToBlack) {
  if (GetParam()) GTEST_SKIP() << "a compositor draws the wallpaper beneath the dim itself";
  setBackground({"-solid", "#ffffff"});
  addOverlay(dimContent(0.7));
  EXPECT_TRUE(shows(160, 120, 94, 94, 94));

  desktop.setRootProperty("_XROOTPMAP_ID", XCB_ATOM_PIXMAP, 32, {0x00c0ffee});
  EXPECT_TRUE(shows(160, 120, 94, 94, 94));

  desktop.setRootProperty("ESETROOT_PMAP_ID", XCB_ATOM_STRING, 8, {0x41414141});
  EXPECT_TRUE(shows(160, 120, 0, 0, 0));
}

// Windows come and go in the middle of reading the stacking order and naming their pixmaps.
TEST_P(OverlayPaint, KeepsPaintingWhileWindowsBelowVanish) {
  setBackground({"-solid", "#ffffff"});
  const auto blur = blurContent(0.7);
  const std::uint32_t blurredWhite = renderedOver(blur, 0xffffff);
  addOverlay(blur);
  EXPECT_TRUE(shows(160, 120, blurredWhite));

  std::atomic<bool> stop = false;
  std::thread churn([&] {
    TestDesktop other(display.name());
    while (!stop) {
      std::vector<xcb_window_t> windows;
      for (int i = 0; i < 20; ++i) {
        windows.push_back(other.createWindow(QRect(i * 10, i * 8, 80, 60), 0x808080));
        other.lower(windows.back());
      }
      for (xcb_window_t window : windows) other.destroy(window);
    }
  });
  waitUntil([&, start = std::chrono::steady_clock::now()] {
    return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1500);
  });
  stop = true;
  churn.join();

  EXPECT_TRUE(engine->available());
  EXPECT_TRUE(shows(160, 120, blurredWhite));
  EXPECT_TRUE(shows(280, 200, blurredWhite));
}

INSTANTIATE_TEST_SUITE_P(Compositing, OverlayPaint, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "picom" : "none"; });

TEST(OverlayPaintSwitch, FollowsTheCompositorStartingAndStopping) {
  PrivateDisplay display(kScreen.width(), kScreen.height());
  TestDesktop desktop(display.name());
  ASSERT_TRUE(display.running() && desktop.connected());
  ASSERT_TRUE(display.run({"hsetroot", "-solid", "#ffffff"}));
  OverlayPaintEngine engine(QByteArray::fromStdString(display.name()));
  const xcb_window_t overlay = desktop.createOverlay(kScreen);
  engine.addOverlay(overlay, kScreen, 1.0);
  engine.setContent(overlay, dimContent(0.7));
  engine.setWindowAlpha(overlay, 0.5);
  const auto shows = [&](int value) {
    return waitUntil([&] { return near(desktop.pixel(160, 120), value, value, value, 3); });
  };
  EXPECT_TRUE(shows(175));

  const pid_t picom = display.start({"picom", "--backend", "xrender", "--config", "/dev/null"});
  ASSERT_TRUE(waitUntil([&] { return engine.compositorActive(); }));
  EXPECT_TRUE(shows(175));
  engine.setWindowAlpha(overlay, 1.0);
  EXPECT_TRUE(shows(94));

  display.stop(picom);
  ASSERT_TRUE(waitUntil([&] { return !engine.compositorActive(); }));
  EXPECT_TRUE(shows(94));
  engine.setWindowAlpha(overlay, 0.5);
  EXPECT_TRUE(shows(175));
}

TEST(OverlayPaintConnection, ReportsTheServerGoingAway) {
  PrivateDisplay display(kScreen.width(), kScreen.height());
  TestDesktop desktop(display.name());
  ASSERT_TRUE(display.running() && desktop.connected());
  OverlayPaintEngine engine(QByteArray::fromStdString(display.name()));
  const xcb_window_t overlay = desktop.createOverlay(kScreen);
  engine.addOverlay(overlay, kScreen, 1.0);
  bool lost = false;
  QObject::connect(&engine, &OverlayPaintEngine::connectionLost, [&] { lost = true; });

  display.killServer();
  EXPECT_TRUE(waitUntil([&] { return lost; }));
  EXPECT_FALSE(engine.available());
  engine.setContent(overlay, dimContent(0.5));  // and nothing breaks afterwards
  engine.setWindowAlpha(overlay, 0.0);
  engine.stackingDidChange();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
