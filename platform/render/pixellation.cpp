#include "platform/render/pixellation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/render/row_kernels.h"

namespace platform::render {

namespace {

using Float4 = float __attribute__((vector_size(16)));

Float4 load4(const float* p) {
  Float4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

std::int64_t squareAt(double origin, double side, std::int64_t pixel) {
  auto k = static_cast<std::int64_t>(std::floor((double(pixel) - origin) / side));
  while (gridLine(origin, side, k) > pixel) --k;
  while (gridLine(origin, side, k + 1) <= pixel) ++k;
  return k;
}

void layOutAxis(AxisSquares& axis, double origin, double side, std::int64_t visible0,
                std::int64_t visible1, std::int64_t frame0, std::int64_t frame1,
                std::int64_t gridOrigin, int factor, int count) {
  axis.start.clear();
  axis.end.clear();
  axis.firstSample.clear();
  axis.weightOffset.assign(1, 0);
  axis.weights.clear();
  if (visible1 <= visible0) return;
  // Pixels off the grid all rest on its edge samples.
  const std::int64_t gridStart = gridOrigin;
  const std::int64_t gridEnd = gridOrigin + std::int64_t(count) * factor;
  for (std::int64_t k = squareAt(origin, side, visible0);; ++k) {
    const std::int64_t line0 = gridLine(origin, side, k);
    const std::int64_t line1 = gridLine(origin, side, k + 1);
    if (line0 >= visible1) break;
    if (line1 <= line0) continue;
    const std::int64_t mean0 = std::max(line0, frame0);
    const std::int64_t mean1 = std::min(line1, frame1);
    const std::int64_t inside0 = std::clamp(mean0, gridStart, gridEnd);
    const std::int64_t inside1 = std::clamp(mean1, gridStart, gridEnd);
    const int first = samplePosition(mean0, gridOrigin, factor, count).first;
    const int last =
        std::min(samplePosition(mean1 - 1, gridOrigin, factor, count).first + 1, count - 1);
    const std::size_t offset = axis.weights.size();
    axis.weights.resize(offset + std::size_t(last - first + 1), 0.0f);
    float* weights = axis.weights.data() + offset;
    const double scale = 1.0 / double(mean1 - mean0);
    weights[0] += float(double(inside0 - mean0) * scale);
    weights[last - first] += float(double(mean1 - inside1) * scale);
    for (std::int64_t x = inside0; x < inside1; ++x) {
      SamplePosition at = samplePosition(x, gridOrigin, factor, count);
      weights[at.first - first] += float((1.0 - at.weight) * scale);
      weights[std::min(at.first + 1, count - 1) - first] += float(at.weight * scale);
    }
    axis.start.push_back(std::max(line0, visible0));
    axis.end.push_back(std::min(line1, visible1));
    axis.firstSample.push_back(first);
    axis.weightOffset.push_back(static_cast<int>(axis.weights.size()));
  }
}

void Pixellation::prepare(const EffectLayout& layout, const BlurGrid& grid, const PixelRect& area) {
  const SquareGrid& squares = layout.squares;
  layOutAxis(columns_, squares.originX, squares.side, area.x0, area.x1, layout.frame.x0,
             layout.frame.x1, grid.originX, grid.factor, grid.columns);
  layOutAxis(rows_, squares.originY, squares.side, area.y0, area.y1, layout.frame.y0,
             layout.frame.y1, grid.originY, grid.factor, grid.rows);
  left_ = area.x0;
  bandSums_.resize(std::size_t(grid.columns) * 4);
  row_.resize(std::size_t(area.width()) * 4);
}

const std::uint16_t* Pixellation::bandRow(std::size_t band, const float* samples,
                                          const BlurGrid& grid, const EffectLayout& layout) {
  // The band's weighted sum of sample rows, then each square's weighted sum along it.
  const std::size_t stride = std::size_t(grid.columns) * 4;
  std::fill(bandSums_.begin(), bandSums_.end(), 0.0f);
  const int firstRow = rows_.firstSample[band];
  for (int w = rows_.weightOffset[band]; w < rows_.weightOffset[band + 1]; ++w) {
    const float weight = rows_.weights[std::size_t(w)];
    const float* row = samples + std::size_t(firstRow + w - rows_.weightOffset[band]) * stride;
    for (std::size_t i = 0; i < stride; ++i) bandSums_[i] += weight * row[i];
  }
  const std::int64_t left = left_;
  for (std::size_t k = 0; k < columns_.size(); ++k) {
    Float4 mean{};
    const int first = columns_.firstSample[k];
    for (int w = columns_.weightOffset[k]; w < columns_.weightOffset[k + 1]; ++w) {
      const int column = first + w - columns_.weightOffset[k];
      mean += columns_.weights[std::size_t(w)] * load4(bandSums_.data() + 4 * column);
    }
    std::uint16_t add[4];
    for (int c = 0; c < 4; ++c) {
      add[c] = toAdd(layout.renderingWeight * double(mean[c]) + layout.insideAdd[std::size_t(c)]);
    }
    for (std::int64_t x = columns_.start[k]; x < columns_.end[k]; ++x) {
      std::memcpy(row_.data() + (x - left) * 4, add, sizeof add);
    }
  }
  return row_.data();
}

}  // namespace platform::render
