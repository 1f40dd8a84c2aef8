#pragma once

#include <cstdint>

#include "platform/render/effect_renderer.h"
#include "platform/render/materials.h"

namespace platform::render {

// A point or length in points as a whole pixel: half-way values go up, everywhere alike, so that
// neighbouring shapes share their edges.
std::int64_t roundToPixel(double pixels);

enum class EffectKind {
  none,       // nothing but the content view's own fill
  solid,      // one colour over the effect view (it blends within the window)
  blur,       // the tinted blur of what lies beneath
  pixellate,  // the same, in squares of one colour each
};

// Square grid lines on both axes lie at roundToPixel(origin + k * side), k any integer.
struct SquareGrid {
  double originX = 0.0;
  double originY = 0.0;  // in rows from the top
  double side = 1.0;
};

std::int64_t gridLine(double origin, double side, std::int64_t k);

// One frame's work in pixels. Every pixel becomes beneath * scale + add (premultiplied levels);
// inside the effect view's visible part the add also takes renderingWeight times the view's
// own rendering, which is opaque.
struct EffectLayout {
  int width = 0;
  int height = 0;

  double outsideScale = 1.0;
  Levels outsideAdd{};

  EffectKind kind = EffectKind::none;
  PixelRect frame;    // the effect view
  PixelRect visible;  // the part of it on the screen
  double insideScale = 1.0;
  Levels insideAdd{};
  double renderingWeight = 0.0;

  MaterialLook look = kClearLook;
  double sigmaPixels = 0.0;
  SquareGrid squares;
};

// The largest blur in pixels; it bounds the working buffers whatever the pixel ratio claims.
inline constexpr double kMaxSigmaPixels = 160.0;

// Lays the content out over a width x height pixel region at the given pixel ratio, drawn at
// `windowAlpha` over what lies beneath (1 for the window's own content). Values that are not
// finite count as absent.
EffectLayout layoutEffect(const ContentSnapshot& content, int width, int height,
                          double devicePixelRatio, double windowAlpha);

}  // namespace platform::render
