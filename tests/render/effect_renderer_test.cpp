// What the overlay shows in pixels: its own content (a) and the final pixels (b).
#include "platform/render/effect_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "render_helpers.h"

namespace platform::render {
namespace {

using testing::Image;

struct NamedContent {
  const char* name;
  std::function<ContentSnapshot(Size)> make;
};

// Every kind of content the renderer knows, including a translucent fill under an effect view
// and an effect view that blends within the window.
std::vector<NamedContent> allContents() {
  return {
      {"dim", [](Size s) { return testing::dimContent(s, 0.7); }},
      {"blur", [](Size s) { return testing::blurContent(s, 0.7); }},
      {"pixelate", [](Size s) { return testing::pixelateContent(s, 0.4); }},
      {"fill under a half-covering blur",
       [](Size s) {
         ContentSnapshot content = testing::blurContent(s, 0.5);
         content.layerBackgroundColor = Color{0.8, 0.1, 0.2, 0.4};
         content.effectView->frame = makeRect(s.width / 3, 0, s.width / 2, s.height / 2);
         return content;
       }},
      {"within the window",
       [](Size s) {
         ContentSnapshot content = testing::blurContent(s, 0.6);
         content.layerBackgroundColor = Color{0.2, 0.3, 0.9, 0.5};
         content.effectView->blendingMode = VisualEffectBlendingMode::withinWindow;
         return content;
       }},
  };
}

// At alpha 0 exactly what lies beneath, alpha bytes included.
TEST(EffectRenderer, FinalPixelsAreTheWindowContentCompositedAtEveryAlpha) {
  const Image beneath = testing::gradientsWithEdges(61, 43);
  for (const NamedContent& named : allContents()) {
    for (double ratio : {1.0, 2.0}) {
      const ContentSnapshot content = named.make({61 / ratio, 43 / ratio});
      const Image own = testing::windowContent(content, beneath, ratio);
      for (double alpha : {0.0, 0.05, 0.37, 0.5, 0.9, 1.0}) {
        const Image out = testing::finalPixels(content, beneath, ratio, alpha);
        int worst = 0;
        for (std::size_t i = 0; i < out.pixels.size(); i += 4) {
          const double keep = 1.0 - alpha * own.pixels[i + 3] / 255.0;
          for (int c = 0; c < 4; ++c) {
            const double composite = own.pixels[i + c] * alpha + beneath.pixels[i + c] * keep;
            worst = std::max(worst, int(std::abs(out.pixels[i + c] - std::floor(composite + 0.5))));
          }
        }
        EXPECT_LE(worst, alpha == 0.0 ? 0 : 1)
            << named.name << " at alpha " << alpha << ", ratio " << ratio;
        // Written over what lies beneath, the same pixels come out.
        Image inPlace = beneath;
        EffectRenderer renderer;
        renderer.renderFinal(content, inPlace.in(), ratio, alpha, inPlace.out());
        EXPECT_EQ(inPlace.pixels, out.pixels) << named.name << " in place at alpha " << alpha;
      }
    }
  }
}

// Uniform in, uniform out at every size and ratio, for every effect that covers the screen;
// blur and pixelate show exactly the material's tint of the colour beneath.
TEST(EffectRenderer, AUniformScreenStaysUniformAtEverySizeAndRatio) {
  const Levels color{90, 120, 150, 255};
  const struct {
    std::function<ContentSnapshot(Size)> make;
    const MaterialLook& look;
  } tinted[] = {
      {[](Size s) { return testing::blurContent(s, 1.0); }, kHudWindowLook},
      {[](Size s) { return testing::pixelateContent(s, 0.1); }, kUnderWindowBackgroundLook},
      {[](Size s) { return testing::pixelateContent(s, 1.0); }, kUnderWindowBackgroundLook}};
  for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 1}, std::pair{1, 3}, std::pair{7, 5},
                      std::pair{33, 17}, std::pair{53, 31}, std::pair{3, 200}}) {
    const Image beneath = testing::uniformImage(w, h, color[0], color[1], color[2]);
    for (double ratio : {1.0, 1.5, 2.0}) {
      const Size points{w / ratio, h / ratio};
      const std::string where =
          std::to_string(w) + "x" + std::to_string(h) + " at " + std::to_string(ratio);
      for (const NamedContent& named : allContents()) {
        const Image own = testing::windowContent(named.make(points), beneath, ratio);
        const Image out = testing::finalPixels(named.make(points), beneath, ratio, 0.75);
        const bool covers = named.name != std::string("fill under a half-covering blur");
        for (std::size_t i = 4; covers && i < out.pixels.size(); ++i) {
          ASSERT_NEAR(out.pixels[i], out.pixels[i % 4], 1) << named.name << " " << where;
          ASSERT_NEAR(own.pixels[i], own.pixels[i % 4], 1) << named.name << " " << where;
        }
        EXPECT_EQ(out.at(0, 0)[3], 255);
      }
      for (const auto& c : tinted) {
        const Levels expected = applyMaterial(color, c.look);
        const Image own = testing::windowContent(c.make(points), beneath, ratio);
        for (std::size_t i = 0; i < own.pixels.size(); ++i) {
          ASSERT_NEAR(own.pixels[i], expected[i % 4], 1) << where;
        }
      }
    }
  }
}

TEST(EffectRenderer, ADepth24SourceCountsAsOpaqueWhateverItsPaddingHolds) {
  Image padded = testing::gradientsWithEdges(40, 30);
  const Image opaque = padded;
  for (std::size_t i = 3; i < padded.pixels.size(); i += 4) padded.pixels[i] = 0;
  for (const NamedContent& named : allContents()) {
    const ContentSnapshot content = named.make({40, 30});
    EXPECT_EQ(testing::finalPixels(content, padded, 1.0, 0.6, true).pixels,
              testing::finalPixels(content, opaque, 1.0, 0.6).pixels)
        << named.name;
    EXPECT_EQ(testing::windowContent(content, padded, 1.0, true).pixels,
              testing::windowContent(content, opaque, 1.0).pixels)
        << named.name;
    // At alpha 0 the padding stays as it was.
    EXPECT_EQ(testing::finalPixels(content, padded, 1.0, 0.0, true).pixels, padded.pixels)
        << named.name;
  }
}

TEST(EffectRenderer, CopesWithoutWhatLiesBeneathOrWithBuffersThatDoNotFit) {
  // Final pixels need a source of the output's size; without one the output stays as it was.
  const Image beneath = testing::uniformImage(10, 10, 1, 2, 3);
  Image out = testing::uniformImage(12, 10, 9, 9, 9);
  const Image before = out;
  EffectRenderer renderer;
  renderer.renderFinal(testing::blurContent({12, 10}, 0.7), beneath.in(), 1.0, 1.0, out.out());
  EXPECT_EQ(out.pixels, before.pixels);
  renderer.renderFinal(testing::dimContent({12, 10}, 0.7), ConstPixelBuffer{}, 1.0, 1.0, out.out());
  EXPECT_EQ(out.pixels, before.pixels);
  renderer.renderFinal(testing::dimContent({12, 10}, 0.7), beneath.in(), 1.0, 1.0, PixelBuffer{});
  // The window's own content: dim needs nothing beneath; a blur shows its tint over black.
  renderer.renderWindowContent(testing::dimContent({12, 10}, 0.5), {}, 1.0, out.out());
  EXPECT_EQ(out.at(3, 2)[0], 0);  // black, premultiplied
  EXPECT_NEAR(out.at(3, 2)[3], 255 * 0.45, 1);
  renderer.renderWindowContent(testing::blurContent({12, 10}, 1.0), {}, 1.0, out.out());
  EXPECT_NEAR(out.at(3, 2)[0], applyMaterial(Levels{0, 0, 0, 255}, kHudWindowLook)[0], 1);
  EXPECT_EQ(out.at(3, 2)[3], 255);
}

TEST(EffectRenderer, SaysWhichContentNeedsWhatLiesBeneath) {
  ContentSnapshot within = testing::blurContent({10, 10}, 0.7);
  within.effectView->blendingMode = VisualEffectBlendingMode::withinWindow;
  const std::pair<ContentSnapshot, bool> cases[] = {
      {testing::dimContent({10, 10}, 0.7), false},     {testing::blurContent({10, 10}, 0.7), true},
      {testing::pixelateContent({10, 10}, 0.7), true}, {within, false},
      {testing::blurContent({10, 10}, 0.0), false},    {ContentSnapshot{}, false}};
  for (const auto& [content, needs] : cases)
    EXPECT_EQ(EffectRenderer::needsBeneath(content), needs);
}

}  // namespace
}  // namespace platform::render
