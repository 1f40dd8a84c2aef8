#include "platform/x11/paint/overlay_paint_engine.h"

#include <gtest/gtest.h>
#include <xcb/shape.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "../../render/render_helpers.h"
#include "../private_display.h"
#include "../test_desktop.h"
#include "screen_match.h"
#include "tests/qt/qt_event_loop.h"

namespace {

using platform::qt::test::runEventLoopFor;
using platform::qt::test::waitUntil;
using platform::x11::OverlayPaintEngine;
using quillmere::test::blue;
using quillmere::test::green;
using quillmere::test::kCompositor;
using quillmere::test::near;
using quillmere::test::PrivateDisplay;
using quillmere::test::red;
using quillmere::test::TestDesktop;
namespace render = platform::render;
namespace helpers = platform::render::testing;

constexpr QRect kScreen(0, 0, 320, 240);
constexpr platform::Size kPoints{320, 240};
constexpr std::uint32_t kWhite = 0xffffff, kDimmed = 0x5e5e5e, kHalfDimmed = 0xafafaf;

// What the screen shows for the content over a uniform colour, as the renderer itself makes it.
// A compositor blends the window's content to the same pixels.
std::uint32_t renderedOver(const render::ContentSnapshot& content, std::uint32_t rgb) {
  const helpers::Image beneath =
      helpers::uniformImage(kScreen.width(), kScreen.height(), blue(rgb), green(rgb), red(rgb));
  return quillmere::test::rgbAt(helpers::finalPixels(content, beneath, 1.0, 1.0), 160, 120);
}

// A private desktop with a white wallpaper and the painter on it.
class PaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    ASSERT_TRUE(desktop.connected());
    ASSERT_TRUE(display.run({"hsetroot", "-solid", "#ffffff"}));
  }

  void startEngine() {
    engine = std::make_unique<OverlayPaintEngine>(QByteArray::fromStdString(display.name()));
  }

  xcb_window_t addOverlay(const render::ContentSnapshot& content) {
    const xcb_window_t window = desktop.createOverlay(kScreen);
    engine->addOverlay(window, kScreen, 1.0);
    engine->setContent(window, content);
    return window;
  }

  // Waits until the screen shows the colour at (x, y), within a tolerance per channel.
  ::testing::AssertionResult shows(int x, int y, std::uint32_t rgb, int tolerance = 2) {
    std::uint32_t last = 0;
    if (waitUntil([&] { return near(last = desktop.pixel(x, y), rgb, tolerance); })) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "at (" << x << ", " << y << ") the screen shows " << quillmere::test::hex(last);
  }

  PrivateDisplay display{kScreen.width(), kScreen.height()};
  TestDesktop desktop{display.name()};
  std::unique_ptr<OverlayPaintEngine> engine;
};

// Every case runs with and without a compositor.
class OverlayPaint : public PaintTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    PaintTest::SetUp();
    if (GetParam()) compositor = display.start(kCompositor);
    startEngine();
    ASSERT_TRUE(engine->available());
    ASSERT_TRUE(waitUntil([&] { return engine->compositorActive() == GetParam(); }));
  }

  pid_t compositor = -1;
};

// At alpha 0 the wallpaper shows unchanged: through the program's toggle in
// monitor_launch_test.cpp.
TEST_P(OverlayPaint, DimTintsTheWallpaperWhenFadedAndFollowsTheCompositor) {
  const xcb_window_t overlay = addOverlay(helpers::dimContent(kPoints, 0.7));
  EXPECT_TRUE(shows(160, 120, kDimmed));
  engine->setWindowAlpha(overlay, 0.5);
  EXPECT_TRUE(shows(160, 120, kHalfDimmed, 3));

  // The compositor starting, or stopping, under a faded overlay.
  if (GetParam()) {
    display.stop(compositor);
  } else {
    display.start(kCompositor);
  }
  ASSERT_TRUE(waitUntil([&] { return engine->compositorActive() != GetParam(); }));
  EXPECT_TRUE(shows(160, 120, kHalfDimmed, 3));
  engine->setWindowAlpha(overlay, 1.0);
  EXPECT_TRUE(shows(160, 120, kDimmed, 3));
}

// The windows below the overlay show through it, and follow their going away, also in the
// middle of reading the stacking order and naming their pixmaps, and the stacking order (their
// own changes: the partial paints below). Blur reads what lies beneath with a compositor too;
// the points lie far from every edge.
TEST_P(OverlayPaint, ShowsTheWindowsBelowAndFollowsThem) {
  const auto blur = helpers::blurContent(kPoints, 0.7);
  const xcb_window_t overlay = addOverlay(blur);
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
  runEventLoopFor(1.5);
  stop = true;
  churn.join();
  EXPECT_TRUE(engine->available());
  EXPECT_TRUE(shows(280, 200, renderedOver(blur, kWhite)));  // where the windows came and went

  const xcb_window_t background = desktop.createWindow(kScreen, 0xff0000);
  const xcb_window_t below = desktop.createWindow(QRect(10, 10, 140, 120), 0x0000ff);
  desktop.lower(below);
  desktop.lower(background);
  const xcb_window_t above = desktop.createWindow(QRect(180, 140, 140, 100), 0x00ff00);

  EXPECT_TRUE(shows(260, 60, renderedOver(blur, 0xff0000)));
  EXPECT_TRUE(shows(80, 70, renderedOver(blur, 0x0000ff)));
  EXPECT_TRUE(shows(250, 190, 0x00ff00, 0));
  desktop.destroy(below);
  EXPECT_TRUE(shows(80, 70, renderedOver(blur, 0xff0000)));

  // Restacked below the overlay, with no change of its own content.
  desktop.lower(above);
  desktop.lower(background);
  EXPECT_TRUE(shows(250, 190, renderedOver(blur, 0x00ff00)));

  // Changes while the overlay is hidden show when it returns, and later ones still arrive.
  engine->setWindowAlpha(overlay, 0.0);
  for (std::uint32_t rgb : {0x00ffffu, 0xff00ffu}) {
    desktop.setColor(above, rgb);
    EXPECT_TRUE(shows(250, 190, rgb, 0));
  }
  engine->setWindowAlpha(overlay, 1.0);
  EXPECT_TRUE(shows(250, 190, renderedOver(blur, 0xff00ff)));
  desktop.setColor(above, 0x0000ff);
  EXPECT_TRUE(shows(250, 190, renderedOver(blur, 0x0000ff)));
}

// Other clients may leave anything in the wallpaper properties. Without a compositor only: a
// compositor draws the wallpaper beneath the dim itself.
TEST_F(PaintTest, FallsBackFromABadWallpaperPropertyAndThenToBlack) {
  startEngine();
  ASSERT_TRUE(engine->available());
  addOverlay(helpers::dimContent(kPoints, 0.7));
  EXPECT_TRUE(shows(160, 120, kDimmed));
  desktop.setProperty(desktop.root(), "_XROOTPMAP_ID", XCB_ATOM_PIXMAP, 32, {0x00c0ffee});
  EXPECT_TRUE(shows(160, 120, kDimmed));
  desktop.setProperty(desktop.root(), "ESETROOT_PMAP_ID", XCB_ATOM_STRING, 8, {0x41414141});
  EXPECT_TRUE(shows(160, 120, 0x000000));
}

// Without a compositor a hidden overlay is shaped away; a compositor hides it by its opacity
// alone, as marco at times stops drawing a window for good once it was shaped away and back.
TEST_F(PaintTest, AHiddenOverlayIsShapedAwayOnlyWithoutACompositor) {
  xcb_connection_t* c = xcb_connect(display.name().c_str(), nullptr);
  const xcb_window_t owner = desktop.createWindow(QRect(0, 0, 1, 1), 0, false, false);
  xcb_set_selection_owner(c, owner, desktop.atom("_NET_WM_CM_S0"), XCB_CURRENT_TIME);
  xcb_flush(c);
  startEngine();  // which finds the compositor at once
  const xcb_window_t overlay = addOverlay(helpers::dimContent(kPoints, 0.7));
  const auto shapedAway = [&] {
    auto* shape = xcb_shape_query_extents_reply(c, xcb_shape_query_extents(c, overlay), nullptr);
    const bool away = shape && shape->bounding_shaped && shape->bounding_shape_extents_width == 0;
    std::free(shape);
    return away;
  };
  engine->setWindowAlpha(overlay, 0.0);
  runEventLoopFor(0.2);
  EXPECT_FALSE(shapedAway());
  desktop.destroy(owner);  // the compositor goes
  EXPECT_TRUE(waitUntil(shapedAway));
  engine->setWindowAlpha(overlay, 1.0);
  EXPECT_TRUE(shows(160, 120, kDimmed));
  xcb_disconnect(c);
}

// A window beneath changes in small parts; after each change the overlay shows what a whole
// frame of each effect over it shows, at ratios 1 and 2, to the last pixel.
TEST_P(OverlayPaint, PartialPaintsEqualAWholeFrameAfterEveryChange) {
  constexpr std::uint32_t kGround = 0x3060a0;
  const xcb_window_t canvas = desktop.createWindow(kScreen, kGround);
  helpers::Image beneath = helpers::uniformImage(kScreen.width(), kScreen.height(), blue(kGround),
                                                 green(kGround), red(kGround));
  // Draws into the canvas, and into the image of what it holds.
  const auto fill = [&](QRect rect, std::uint32_t rgb) {
    desktop.fill(canvas, rect, rgb);
    const std::uint32_t bgra = rgb | 0xff000000u;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
      for (int x = rect.left(); x <= rect.right(); ++x) std::memcpy(beneath.at(x, y), &bgra, 4);
    }
  };
  // The compositor blends the window's content itself, which may round differently.
  const auto showsWholeFrame = [&](const render::ContentSnapshot& content, double ratio) {
    const helpers::Image whole = helpers::finalPixels(content, beneath, ratio, 1.0);
    ::testing::AssertionResult shows = ::testing::AssertionFailure();
    waitUntil([&] {
      return bool(shows =
                      quillmere::test::matches(desktop.screen(kScreen), whole, GetParam() ? 2 : 1));
    });
    return shows;
  };
  std::mt19937 random(22);
  for (double ratio : {1.0, 2.0}) {
    const platform::Size points{kScreen.width() / ratio, kScreen.height() / ratio};
    const xcb_window_t overlay = desktop.createOverlay(kScreen);
    engine->addOverlay(overlay, kScreen, ratio);
    for (const auto& content : {helpers::dimContent(points, 0.7), helpers::blurContent(points, 0.7),
                                helpers::pixelateContent(points, 0.4)}) {
      engine->setContent(overlay, content);
      // The whole frame first: drawing into a window that is not yet redirected is lost.
      ASSERT_TRUE(showsWholeFrame(content, ratio)) << "ratio " << ratio << ", first frame";
      for (int step = 0; step < 5; ++step) {
        // Anywhere, flush with an edge or in a corner.
        const int w = 4 + int(random() % 80), h = 4 + int(random() % 60);
        const int x = step % 2 ? 0 : int(random() % std::uint32_t(kScreen.width() - w + 1));
        const int y = step % 3 ? kScreen.height() - h
                               : int(random() % std::uint32_t(kScreen.height() - h + 1));
        fill(QRect(x, y, w, h), random() & 0xffffff);
        ASSERT_TRUE(showsWholeFrame(content, ratio)) << "ratio " << ratio << ", step " << step;
      }
    }
    engine->removeOverlay(overlay);
    desktop.destroy(overlay);
  }
}

INSTANTIATE_TEST_SUITE_P(Compositing, OverlayPaint, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "picom" : "none"; });

}  // namespace
