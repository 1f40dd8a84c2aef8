#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/color.h"
#include "platform/view.h"

namespace platform::render {

// Premultiplied BGRA in channel levels, 0 to 255, as the pixel buffers hold them.
using Levels = std::array<double, 4>;

// How much a visual-effect view blurs what lies behind it, in points.
inline constexpr double kBlurSigmaPoints = 10.0;

// How a material colours the blur behind it: its colours pushed apart (saturation above 1),
// then a translucent tint laid over them, as frosted glass does.
struct MaterialLook {
  Color tint;  // straight RGBA
  double saturation = 1.0;
};

// The HUD window's dark frosted glass.
inline constexpr MaterialLook kHudWindowLook{{0.11, 0.11, 0.12, 0.55}, 1.35};
// The light, neutral frosted glass under a window's background.
inline constexpr MaterialLook kUnderWindowBackgroundLook{{0.93, 0.93, 0.94, 0.45}, 1.35};
// No tint at all: the blur as it is.
inline constexpr MaterialLook kClearLook{{0.0, 0.0, 0.0, 0.0}, 1.0};

// The look of a material; one this renderer does not know looks like the window background.
const MaterialLook& materialLook(VisualEffectMaterial material);

// One premultiplied colour through the material.
Levels applyMaterial(const Levels& color, const MaterialLook& look);
// The same for `count` packed BGRA float pixels, in place.
void applyMaterial(float* pixels, std::size_t count, const MaterialLook& look);
// The same, each result then taken `weight` times plus `add` and written as row-kernel add
// values.
void applyMaterialAsAdd(const float* pixels, std::size_t count, const MaterialLook& look,
                        double weight, const Levels& add, std::uint16_t* out);

// A straight colour, clamped to [0, 1] (NaN counts as 0), premultiplied, in levels.
Levels premultipliedLevels(const Color& color);

}  // namespace platform::render
