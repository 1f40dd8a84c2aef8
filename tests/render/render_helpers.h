#pragma once

#include "platform/render/effect_layout.h"
#include "test_images.h"

namespace platform::render::testing {

// The content the core builds for each effect, on a content view of the given size in points.
ContentSnapshot dimContent(Size size, double intensity);
ContentSnapshot blurContent(Size size, double intensity);
ContentSnapshot pixelateContent(Size size, double intensity);

// The plain effect over the whole image as the window's own content: no tint, fully opaque.
Image plainEffect(const Image& image, EffectKind kind, double sigmaPixels, double squareSide = 1.0);

// Output (a) and output (b) of a fresh renderer.
Image windowContent(const ContentSnapshot& content, const Image& beneath, double ratio,
                    bool alphaIsPadding = false);
Image finalPixels(const ContentSnapshot& content, const Image& beneath, double ratio,
                  double windowAlpha, bool alphaIsPadding = false);

}  // namespace platform::render::testing
