#pragma once

#include <cstdint>
#include <vector>

#include "platform/render/backdrop_blur.h"
#include "platform/render/effect_layout.h"

namespace platform::render {

// The squares that meet the screen along one axis, and how each averages the samples. The mean
// of the interpolated rendering over a square separates into a weight per sample column (or
// row), so a square costs its samples, not its pixels.
struct AxisSquares {
  std::vector<std::int64_t> start;  // the visible part of square k: [start[k], end[k])
  std::vector<std::int64_t> end;
  std::vector<int> firstSample;   // its weights: samples firstSample[k] onwards
  std::vector<int> weightOffset;  // into weights; one entry more than there are squares
  std::vector<float> weights;

  std::size_t size() const { return start.size(); }
};

// The square whose first grid line is the last at or before `pixel`.
std::int64_t squareAt(double origin, double side, std::int64_t pixel);

// Squares with grid lines at gridLine(origin, side, k) that meet [visible0, visible1), each
// averaging the rendering over its part of [frame0, frame1). Samples lie along the axis at
// gridOrigin with `factor` pixels each, `count` of them.
void layOutAxis(AxisSquares& axis, double origin, double side, std::int64_t visible0,
                std::int64_t visible1, std::int64_t frame0, std::int64_t frame1,
                std::int64_t gridOrigin, int factor, int count);

// Pixellates the rendering: square colours row band by row band, as add rows.
class Pixellation final {
 public:
  // Lays out the squares over `area`, a part of the frame's visible part; `grid` holds every
  // sample they average.
  void prepare(const EffectLayout& layout, const BlurGrid& grid, const PixelRect& area);

  std::size_t bandCount() const { return rows_.size(); }
  std::int64_t bandStart(std::size_t band) const { return rows_.start[band]; }
  std::int64_t bandEnd(std::size_t band) const { return rows_.end[band]; }
  // The last row of samples that a band's squares average.
  int lastSampleRow(std::size_t band) const {
    return rows_.firstSample[band] + rows_.weightOffset[band + 1] - rows_.weightOffset[band] - 1;
  }

  // The add row over the area's columns for one band, from samples in levels (material
  // applied): renderingWeight times the square's mean plus insideAdd.
  const std::uint16_t* bandRow(std::size_t band, const float* samples, const BlurGrid& grid,
                               const EffectLayout& layout);

 private:
  std::int64_t left_ = 0;  // the area's first column
  AxisSquares columns_;
  AxisSquares rows_;
  std::vector<float> bandSums_;
  std::vector<std::uint16_t> row_;
};

}  // namespace platform::render
