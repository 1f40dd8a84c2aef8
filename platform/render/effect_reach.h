#pragma once

#include <span>
#include <vector>

#include "platform/render/backdrop_blur.h"
#include "platform/render/effect_layout.h"

namespace platform::render {

// How far a change of what lies beneath carries in the overlay, and which of the blur's samples
// a part of the overlay needs to be drawn on its own.

// Past this many separate reaches a frame rewrites one box around them all.
inline constexpr std::size_t kMaxSeparateReaches = 16;

// The samples the layout blurs what lies beneath into (blur and pixellate alike).
BlurGrid effectGrid(const EffectLayout& layout);

// The pixels on the screen that a change of what lies beneath within `changed` can alter: the
// change itself and, where it meets the effect view, every pixel drawn from a sample the
// change reaches through the blocks and the cascade; for pixellate every square averaging
// such a pixel. Empty when the change misses the screen.
PixelRect reachOfChange(const EffectLayout& layout, const PixelRect& changed);

// The reaches of `changed`, each set of overlapping ones merged into their bounding box.
void mergeReaches(const EffectLayout& layout, std::span<const PixelRect> changed,
                  std::vector<PixelRect>& reaches);

// The part of the layout's grid that drawing `area` (within the visible part) needs, reaching
// far enough past those samples that the edges of the cascade do not touch them.
BlurGrid blurWindow(const EffectLayout& layout, const BlurGrid& grid, const PixelRect& area);

}  // namespace platform::render
