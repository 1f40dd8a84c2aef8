#include "platform/render/effect_reach.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/render/pixellation.h"

namespace platform::render {

namespace {

// Further than any screen reaches, for the sides where the grid's edge samples carry on.
constexpr std::int64_t kFar = std::int64_t(1) << 40;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b) {
  return -floorDiv(-a, b);
}

// One axis of a grid of samples over the source [source0, source1).
struct Axis {
  std::int64_t origin;
  int factor;
  int decimation;
  int count;
  std::int64_t source0;
  std::int64_t source1;
};

Axis columnsOf(const BlurGrid& grid, const PixelRect& source) {
  return {grid.originX, grid.factor, grid.decimation, grid.columns, source.x0, source.x1};
}

Axis rowsOf(const BlurGrid& grid, const PixelRect& source) {
  return {grid.originY, grid.factor, grid.decimation, grid.rows, source.y0, source.y1};
}

using Range = std::pair<std::int64_t, std::int64_t>;  // half-open

int cascadeReach(const BlurGrid& grid) {
  int reach = 0;
  for (int radius : grid.cascade.radii) reach += radius;
  return reach;
}

// The samples that read pixels [p0, p1) of the source, widened by the cascade's reach. Blocks
// past the source's edge read its edge pixels; decimated samples also read a quarter block on
// either side.
Range samplesReading(const Axis& axis, std::int64_t p0, std::int64_t p1, int reach) {
  const std::int64_t f = axis.factor;
  const std::int64_t spill = axis.decimation == 2 ? f / 4 : 0;
  const std::int64_t first = p0 <= axis.source0 ? 0 : ceilDiv(p0 - axis.origin - f - spill + 1, f);
  const std::int64_t end =
      p1 >= axis.source1 ? axis.count : floorDiv(p1 - 1 - axis.origin + spill, f) + 1;
  return {std::max<std::int64_t>(first - reach, 0),
          std::min<std::int64_t>(end + reach, axis.count)};
}

// The pixels interpolated from any of `samples`; sample j sits at pixel
// origin + j * factor + (factor - 1) / 2.
Range pixelsFrom(const Axis& axis, const Range& samples) {
  if (samples.second <= samples.first) return {0, 0};
  const std::int64_t f = axis.factor;
  const std::int64_t centre2 = 2 * axis.origin + f - 1;  // twice sample 0's position
  return {samples.first == 0 ? -kFar : ceilDiv(2 * f * (samples.first - 1) + centre2, 2),
          samples.second == axis.count ? kFar : ceilDiv(2 * f * samples.second + centre2, 2)};
}

// Every square whose mean takes in any of `pixels` within the frame.
Range squaresOver(const Range& pixels, double origin, double side, std::int64_t frame0,
                  std::int64_t frame1) {
  const std::int64_t p0 = std::max(pixels.first, frame0);
  const std::int64_t p1 = std::min(pixels.second, frame1);
  if (p1 <= p0) return {0, 0};
  return {gridLine(origin, side, squareAt(origin, side, p0)),
          gridLine(origin, side, squareAt(origin, side, p1 - 1) + 1)};
}

PixelRect boundingBox(const PixelRect& a, const PixelRect& b) {
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

// The samples a span of pixels needs: around each the two it lies between, then the
// cascade's reach, so that no cut edge of the window reaches them, and a block more for the
// upsampler.
Range blurSamplesFor(const Axis& axis, std::int64_t p0, std::int64_t p1, int reach) {
  const std::int64_t first = samplePosition(p0, axis.origin, axis.factor, axis.count).first;
  const std::int64_t last = samplePosition(p1 - 1, axis.origin, axis.factor, axis.count).first + 1;
  return {first - reach - 1, last + reach + 2};
}

// The samples the squares over a span of pixels average, with the cascade's reach around them.
Range squareSamplesFor(const Axis& axis, const SquareGrid& squares, double origin,
                       std::int64_t frame0, std::int64_t frame1, std::int64_t p0, std::int64_t p1,
                       int reach) {
  const std::int64_t mean0 =
      std::max(gridLine(origin, squares.side, squareAt(origin, squares.side, p0)), frame0);
  const std::int64_t mean1 =
      std::min(gridLine(origin, squares.side, squareAt(origin, squares.side, p1 - 1) + 1), frame1);
  const std::int64_t first = samplePosition(mean0, axis.origin, axis.factor, axis.count).first;
  const std::int64_t last =
      samplePosition(mean1 - 1, axis.origin, axis.factor, axis.count).first + 1;
  return {first - reach, last + reach + 1};
}

}  // namespace

BlurGrid effectGrid(const EffectLayout& layout) {
  if (layout.kind == EffectKind::pixellate) {
    // Squares average the rendering past the screen's edge too, so it must reach that far;
    // their means need no fine samples.
    const auto margin = std::int64_t(std::ceil(3.0 * layout.sigmaPixels));
    return blurGridFor(layout.visible, layout.sigmaPixels, margin, SampleSpacing::coarse);
  }
  return blurGridFor(layout.visible, layout.sigmaPixels, 0);
}

PixelRect reachOfChange(const EffectLayout& layout, const PixelRect& changed) {
  const PixelRect screen{0, 0, layout.width, layout.height};
  const PixelRect own = intersect(changed, screen);
  if (own.empty()) return {};
  const PixelRect blurred = intersect(own, layout.visible);
  const bool samples = layout.kind == EffectKind::blur || layout.kind == EffectKind::pixellate;
  if (!samples || blurred.empty()) return own;

  const BlurGrid grid = effectGrid(layout);
  const int reach = cascadeReach(grid);
  const Axis columns = columnsOf(grid, layout.visible);
  const Axis rows = rowsOf(grid, layout.visible);
  Range x = pixelsFrom(columns, samplesReading(columns, blurred.x0, blurred.x1, reach));
  Range y = pixelsFrom(rows, samplesReading(rows, blurred.y0, blurred.y1, reach));
  if (layout.kind == EffectKind::pixellate) {
    const SquareGrid& squares = layout.squares;
    x = squaresOver(x, squares.originX, squares.side, layout.frame.x0, layout.frame.x1);
    y = squaresOver(y, squares.originY, squares.side, layout.frame.y0, layout.frame.y1);
  }
  const PixelRect reached = intersect({x.first, y.first, x.second, y.second}, layout.visible);
  return reached.empty() ? own : boundingBox(own, reached);
}

void mergeReaches(const EffectLayout& layout, std::span<const PixelRect> changed,
                  std::vector<PixelRect>& reaches) {
  reaches.clear();
  for (const PixelRect& change : changed) {
    PixelRect reach = reachOfChange(layout, change);
    if (reach.empty()) continue;
    // Swallow every earlier reach this one overlaps, growing as it does.
    for (std::size_t i = 0; i < reaches.size();) {
      if (intersect(reaches[i], reach).empty()) {
        ++i;
        continue;
      }
      reach = boundingBox(reach, reaches[i]);
      reaches.erase(reaches.begin() + std::ptrdiff_t(i));
      i = 0;
    }
    reaches.push_back(reach);
    if (reaches.size() > kMaxSeparateReaches) {
      PixelRect all = reaches.front();
      for (const PixelRect& r : reaches) all = boundingBox(all, r);
      reaches.assign(1, all);
    }
  }
}

BlurGrid blurWindow(const EffectLayout& layout, const BlurGrid& grid, const PixelRect& area) {
  const int reach = cascadeReach(grid);
  const Axis columns = columnsOf(grid, layout.visible);
  const Axis rows = rowsOf(grid, layout.visible);
  Range x;
  Range y;
  if (layout.kind == EffectKind::pixellate) {
    const SquareGrid& squares = layout.squares;
    x = squareSamplesFor(columns, squares, squares.originX, layout.frame.x0, layout.frame.x1,
                         area.x0, area.x1, reach);
    y = squareSamplesFor(rows, squares, squares.originY, layout.frame.y0, layout.frame.y1, area.y0,
                         area.y1, reach);
  } else {
    x = blurSamplesFor(columns, area.x0, area.x1, reach);
    y = blurSamplesFor(rows, area.y0, area.y1, reach);
  }
  x = {std::max<std::int64_t>(x.first, 0), std::min<std::int64_t>(x.second, grid.columns)};
  y = {std::max<std::int64_t>(y.first, 0), std::min<std::int64_t>(y.second, grid.rows)};
  BlurGrid window = grid;
  window.originX += x.first * grid.factor;
  window.originY += y.first * grid.factor;
  window.columns = static_cast<int>(x.second - x.first);
  window.rows = static_cast<int>(y.second - y.first);
  return window;
}

}  // namespace platform::render
