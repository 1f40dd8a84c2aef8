// A window beneath changes in small parts; after each change the overlay shows what a whole
// frame over it shows.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstring>
#include <memory>
#include <random>

#include "../../render/render_helpers.h"
#include "../private_display.h"
#include "../test_desktop.h"
#include "platform/x11/paint/overlay_paint_engine.h"
#include "screen_match.h"
#include "tests/qt/qt_event_loop.h"

namespace {

using platform::qt::test::waitUntil;
using quillmere::test::PrivateDisplay;
using quillmere::test::TestDesktop;
namespace render = platform::render;
namespace helpers = platform::render::testing;

constexpr QRect kScreen(0, 0, 320, 240);
constexpr std::uint32_t kGround = 0x3060a0;

class PartialPaint : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    if (GetParam()) display.start(quillmere::test::kCompositor);
    engine = std::make_unique<platform::x11::OverlayPaintEngine>(
        QByteArray::fromStdString(display.name()));
    ASSERT_TRUE(waitUntil([&] { return engine->compositorActive() == GetParam(); }));
    canvas = desktop.createWindow(kScreen, kGround);  // made before the overlays, so below them
  }

  // Draws into the canvas, and into the image of what it holds.
  void fill(QRect rect, std::uint32_t rgb) {
    desktop.fill(canvas, rect, rgb);
    const std::uint32_t bgra = rgb | 0xff000000u;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
      for (int x = rect.left(); x <= rect.right(); ++x) std::memcpy(beneath.at(x, y), &bgra, 4);
    }
  }

  // Waits until the screen shows a whole frame of the content over the canvas. The compositor
  // blends the window's content itself, which may round differently.
  ::testing::AssertionResult showsWholeFrame(const render::ContentSnapshot& content, double ratio) {
    const helpers::Image whole = helpers::finalPixels(content, beneath, ratio, 1.0);
    ::testing::AssertionResult shows = ::testing::AssertionFailure();
    waitUntil([&] {
      return bool(shows =
                      quillmere::test::matches(desktop.screen(kScreen), whole, GetParam() ? 2 : 1));
    });
    return shows;
  }

  PrivateDisplay display{kScreen.width(), kScreen.height()};
  TestDesktop desktop{display.name()};
  std::unique_ptr<platform::x11::OverlayPaintEngine> engine;
  xcb_window_t canvas = XCB_NONE;
  helpers::Image beneath =
      helpers::uniformImage(kScreen.width(), kScreen.height(), quillmere::test::blue(kGround),
                            quillmere::test::green(kGround), quillmere::test::red(kGround));
};

TEST_P(PartialPaint, EqualsAWholeFrameAfterEveryChange) {
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

INSTANTIATE_TEST_SUITE_P(Compositing, PartialPaint, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "picom" : "none"; });

}  // namespace
