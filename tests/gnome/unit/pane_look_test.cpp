#include "platform/gnome/pane_look.h"

#include <gtest/gtest.h>

#include "platform/qt/window_levels.h"
#include "platform/render/materials.h"

namespace platform::gnome {
namespace {

render::ContentSnapshot effectContent(double viewAlpha, bool squares) {
  render::ContentSnapshot content;
  content.size = {400.0, 300.0};
  render::EffectViewSnapshot view;
  view.frame = {{0.0, 0.0}, {400.0, 300.0}};
  view.material = VisualEffectMaterial::hudWindow;
  view.alpha = viewAlpha;
  if (squares) view.pixellate = render::PixellateSnapshot{16.0, {200.0, 150.0}};
  content.effectView = view;
  return content;
}

// The dim's fill and every pane's place on the stage (its flip about the primary monitor's
// bottom, too) are pinned to the pixel by the GNOME scenarios; the blur's and the squares'
// numbers are not.
TEST(PaneLook, BlurAndPixellateBecomeTheirKindAndLook) {
  const Rect stage{{100.0, 50.0}, {400.0, 300.0}};

  const PaneLook blur = paneLookOf(effectContent(0.7, false), stage, true, -1);
  const render::MaterialLook& hud = render::kHudWindowLook;
  EXPECT_EQ(blur.kind, "blur");
  EXPECT_EQ(blur.sigma, render::kBlurSigmaPoints);
  EXPECT_EQ(blur.tint,
            (std::array<double, 4>{hud.tint.red, hud.tint.green, hud.tint.blue, hud.tint.alpha}));
  EXPECT_EQ(blur.saturation, hud.saturation);
  EXPECT_EQ(blur.weight, 0.7);
  EXPECT_EQ(blur.fill, (std::array<double, 4>{}));

  // The grid's origin is the filter's centre, moved onto the stage: 16 px squares with a line
  // through the pane's middle (300 - 150 = 150 rows from its top).
  const PaneLook squares = paneLookOf(effectContent(1.0, true), stage, true, -1);
  EXPECT_EQ(squares.kind, "pixellate");
  EXPECT_EQ(squares.squareSide, 16.0);
  EXPECT_DOUBLE_EQ(std::fmod(squares.squareOriginX - 300.0, 16.0), 0.0);
  EXPECT_DOUBLE_EQ(std::fmod(squares.squareOriginY - 200.0, 16.0), 0.0);
}

TEST(PaneLook, LayerIsTheHighestWhoseLevelIsNotAbove) {
  const std::pair<WindowLevel, int> cases[] = {{-5000, 0},
                                               {qt::kDesktopLayer, 0},
                                               {-2, 0},
                                               {qt::kBelowLayer, 1},
                                               {qt::kNormalLayer, 2},
                                               {2, 2},
                                               {qt::kFloatingLayer, 4},
                                               {100, 4},
                                               {qt::kPopUpMenuLayer, 7},
                                               {5000, 7}};
  for (const auto& [level, layer] : cases) EXPECT_EQ(stackLayerForLevel(level), layer) << level;
}

}  // namespace
}  // namespace platform::gnome
