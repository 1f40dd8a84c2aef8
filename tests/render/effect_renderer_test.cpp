// What the overlay shows in pixels: its own content (a) and the final pixels (b).
#include "platform/render/effect_renderer.h"

#include <gtest/gtest.h>

#include "render_helpers.h"

namespace platform::render {
namespace {

using testing::Image;

// The contents the core builds.
struct NamedContent {
  const char* name;
  ContentSnapshot (*make)(Size, double);
  double intensity;
  ContentSnapshot operator()(Size size) const { return make(size, intensity); }
};
const NamedContent kContents[] = {{"dim", testing::dimContent, 0.7},
                                  {"blur", testing::blurContent, 0.7},
                                  {"pixelate", testing::pixelateContent, 0.4}};

// Uniform in, uniform out at every size and ratio, for every effect;
// blur and pixelate show exactly the material's tint of the colour beneath.
TEST(EffectRenderer, AUniformScreenStaysUniformAtEverySizeAndRatio) {
  const Levels color{90, 120, 150, 255};
  const struct {
    ContentSnapshot (*make)(Size, double);
    double intensity;
    const MaterialLook& look;
  } tinted[] = {{testing::blurContent, 1.0, kHudWindowLook},
                {testing::pixelateContent, 0.1, kUnderWindowBackgroundLook},
                {testing::pixelateContent, 1.0, kUnderWindowBackgroundLook}};
  for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 1}, std::pair{1, 3}, std::pair{7, 5},
                      std::pair{33, 17}, std::pair{53, 31}, std::pair{3, 200}}) {
    const Image beneath = testing::uniformImage(w, h, color[0], color[1], color[2]);
    for (double ratio : {1.0, 1.5, 2.0}) {
      const Size points{w / ratio, h / ratio};
      const std::string where =
          std::to_string(w) + "x" + std::to_string(h) + " at " + std::to_string(ratio);
      for (const NamedContent& named : kContents) {
        const Image own = testing::windowContent(named(points), beneath, ratio);
        const Image out = testing::finalPixels(named(points), beneath, ratio, 0.75);
        for (std::size_t i = 4; i < out.pixels.size(); ++i) {
          ASSERT_NEAR(out.pixels[i], out.pixels[i % 4], 1) << named.name << " " << where;
          ASSERT_NEAR(own.pixels[i], own.pixels[i % 4], 1) << named.name << " " << where;
        }
        EXPECT_EQ(out.at(0, 0)[3], 255);
      }
      for (const auto& c : tinted) {
        const Levels expected = applyMaterial(color, c.look);
        const Image own = testing::windowContent(c.make(points, c.intensity), beneath, ratio);
        for (std::size_t i = 0; i < own.pixels.size(); ++i) {
          ASSERT_NEAR(own.pixels[i], expected[i % 4], 1) << where;
        }
      }
    }
  }
}

// Captures on Wayland come without alpha.
TEST(EffectRenderer, ADepth24SourceCountsAsOpaqueWhateverItsPaddingHolds) {
  Image padded = testing::gradientsWithEdges(40, 30);
  const Image opaque = padded;
  for (std::size_t i = 3; i < padded.pixels.size(); i += 4) padded.pixels[i] = 0;
  for (const NamedContent& named : kContents) {
    const ContentSnapshot content = named({40, 30});
    EXPECT_EQ(testing::windowContent(content, padded, 1.0, true).pixels,
              testing::windowContent(content, opaque, 1.0).pixels)
        << named.name;
  }
}

}  // namespace
}  // namespace platform::render
