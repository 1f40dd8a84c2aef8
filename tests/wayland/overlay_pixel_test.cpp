#include "platform/wayland/overlay_pixel.h"

#include <gtest/gtest.h>

#include "platform/layer.h"
#include "platform/view.h"

namespace platform::wayland {
namespace {

// The dim at the default intensity, 0xA1000000: test_overlays.py and test_kwin.py, exact; the
// channels' order: the blur's tint below.
TEST(OverlayPixel, TheFillTimesTheWindowAlphaPremultiplied) {
  struct Case {
    const char* name;
    Color fill;
    double windowAlpha;
    std::uint32_t pixel;
  };
  const Case cases[] = {
      {"dim half faded in", Color::blackColor().withAlphaComponent(0.63), 0.5, 0x50000000u},
      {"a window alpha above 1 counts as 1", Color::blackColor().withAlphaComponent(0.63), 3.0,
       0xA1000000u},
  };
  for (const Case& c : cases) {
    const auto view = View::create(makeRect(0, 0, 800, 600));
    view->setWantsLayer(true);
    view->layer()->setBackgroundColor(c.fill);
    EXPECT_EQ(overlayPixel(view.get(), c.windowAlpha), c.pixel) << c.name;
  }
}

// The squares read beneath as the blur does (their tint missing would show on KWin: test_kwin.py
// in each effect).
TEST(OverlayPixel, TheBlurShowsItsMaterialsTintAndNoContentNothing) {
  auto view = View::create(makeRect(0, 0, 800, 600));
  view->setWantsLayer(true);
  auto effect = VisualEffectView::create(view->bounds());
  effect->setMaterial(VisualEffectMaterial::hudWindow);
  effect->setAlphaValue(0.7);
  view->addSubview(effect);
  // The HUD tint (0.11, 0.11, 0.12) at 0.55, times the view's 0.7, premultiplied:
  // alpha 0.385 * 255 = 98.2, red and green 10.8, blue 11.8.
  EXPECT_EQ(overlayPixel(view.get(), 1.0), 0x620B0B0Cu);
  EXPECT_EQ(overlayPixel(view.get(), 0.5), 0x31050506u);
  EXPECT_EQ(overlayPixel(nullptr, 1.0), 0u);
}

}  // namespace
}  // namespace platform::wayland
