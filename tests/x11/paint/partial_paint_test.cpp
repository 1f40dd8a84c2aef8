// A window beneath changes in small parts; after each change the overlay shows what a whole
// frame over it shows.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "../../render/render_helpers.h"
#include "../private_display.h"
#include "../test_desktop.h"
#include "platform/x11/paint/overlay_paint_engine.h"
#include "tests/qt/qt_event_loop.h"

namespace {

using platform::qt::test::waitUntil;
using quillmere::test::PrivateDisplay;
using quillmere::test::TestDesktop;
namespace render = platform::render;
namespace helpers = platform::render::testing;

constexpr QRect kScreen(0, 0, 320, 240);
constexpr std::uint32_t kGround = 0x3060a0;

// A window that covers the screen, drawn into a rectangle at a time, and what it holds.
class Canvas {
 public:
  explicit Canvas(const std::string& display)
      : connection_(xcb_connect(display.c_str(), nullptr)),
        image_(kScreen.width(), kScreen.height()) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    const std::uint32_t values[] = {kGround, 1};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0,
                      std::uint16_t(kScreen.width()), std::uint16_t(kScreen.height()), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(connection_, window_);
    gc_ = xcb_generate_id(connection_);
    xcb_create_gc(connection_, gc_, window_, 0, nullptr);
    fill({0, 0, kScreen.width(), kScreen.height()}, kGround, false);
    sync();  // mapped before the overlays, so below them
  }
  ~Canvas() { xcb_disconnect(connection_); }

  void fill(QRect rect, std::uint32_t rgb, bool draw = true) {
    if (draw) {
      xcb_change_gc(connection_, gc_, XCB_GC_FOREGROUND, &rgb);
      const xcb_rectangle_t r{std::int16_t(rect.x()), std::int16_t(rect.y()),
                              std::uint16_t(rect.width()), std::uint16_t(rect.height())};
      xcb_poly_fill_rectangle(connection_, window_, gc_, 1, &r);
      sync();
    }
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
      for (int x = rect.left(); x <= rect.right(); ++x) {
        std::uint8_t* p = image_.at(x, y);
        p[0] = std::uint8_t(rgb);
        p[1] = std::uint8_t(rgb >> 8);
        p[2] = std::uint8_t(rgb >> 16);
        p[3] = 255;
      }
    }
  }

  const helpers::Image& image() const { return image_; }

 private:
  void sync() {
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  }

  xcb_connection_t* connection_;
  xcb_window_t window_ = XCB_NONE;
  xcb_gcontext_t gc_ = XCB_NONE;
  helpers::Image image_;
};

class PartialPaint : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    if (GetParam()) display.start(quillmere::test::kCompositor);
    engine = std::make_unique<platform::x11::OverlayPaintEngine>(
        QByteArray::fromStdString(display.name()));
    ASSERT_TRUE(waitUntil([&] { return engine->compositorActive() == GetParam(); }));
    canvas = std::make_unique<Canvas>(display.name());
  }

  // Waits until the screen shows a whole frame of the content over the canvas. The compositor
  // blends the window's content itself, which may round differently.
  ::testing::AssertionResult showsWholeFrame(const render::ContentSnapshot& content, double ratio) {
    const int tolerance = GetParam() ? 2 : 1;
    const helpers::Image whole = helpers::finalPixels(content, canvas->image(), ratio, 1.0);
    int worst = 0;
    QPoint where;
    const bool equal = waitUntil([&] {
      const std::vector<std::uint32_t> shown = desktop.screen(kScreen);
      worst = 0;
      for (int y = 0; y < kScreen.height(); ++y) {
        for (int x = 0; x < kScreen.width(); ++x) {
          const std::uint8_t* p = whole.at(x, y);
          const std::uint32_t s = shown[std::size_t(y * kScreen.width() + x)];
          const int off = std::max({std::abs(quillmere::test::red(s) - p[2]),
                                    std::abs(quillmere::test::green(s) - p[1]),
                                    std::abs(quillmere::test::blue(s) - p[0])});
          if (off > worst) where = QPoint(x, y);
          worst = std::max(worst, off);
        }
      }
      return worst <= tolerance;
    });
    if (equal) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "off by " << worst << " at (" << where.x() << ", " << where.y() << ")";
  }

  PrivateDisplay display{kScreen.width(), kScreen.height()};
  TestDesktop desktop{display.name()};
  std::unique_ptr<platform::x11::OverlayPaintEngine> engine;
  std::unique_ptr<Canvas> canvas;
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
        canvas->fill(QRect(x, y, w, h), random() & 0xffffff);
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
