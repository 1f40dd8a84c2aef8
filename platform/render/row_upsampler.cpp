#include "platform/render/row_upsampler.h"

#include <algorithm>
#include <cmath>

namespace platform::render {

namespace {

std::uint16_t weightOf(double weight) {
  return static_cast<std::uint16_t>(
      std::min<long>(std::lround(weight * double(kUnitWeight)), 0xffff));
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

void RowUpsampler::prepare(const BlurGrid& grid, std::int64_t x0, std::int64_t x1) {
  grid_ = grid;
  const int f = grid.factor;
  // Interval j runs from pixel originX + j * f + f / 2, where sample j's weight is highest,
  // for f pixels; the phase within it sets the weights.
  const std::int64_t start = grid.originX + f / 2;
  const std::int64_t first = floorDiv(x0 - start, f);
  const std::int64_t last = floorDiv(std::max(x1, x0 + 1) - 1 - start, f);
  firstInterval_ = static_cast<int>(std::clamp<std::int64_t>(first, 0, grid.columns - 2));
  intervals_ = static_cast<int>(
      std::clamp<std::int64_t>(last + 1, firstInterval_ + 1, grid.columns - 1) - firstInterval_);
  skip_ = x0 - (start + std::int64_t(firstInterval_) * f);
  weights_.resize(std::size_t(f) * 8);
  for (int p = 0; p < f; ++p) {
    const SamplePosition at = samplePosition(start + p, grid.originX, f, 4);
    for (int c = 0; c < 4; ++c) {
      weights_[std::size_t(8 * p + c)] = weightOf(1.0 - at.weight);
      weights_[std::size_t(8 * p + 4 + c)] = weightOf(at.weight);
    }
  }
  for (auto& row : rows_) row.resize(std::size_t(intervals_) * f * 4);
  rowIndex_ = {-1, -1};
}

int RowUpsampler::lastSampleRow(std::int64_t y) const {
  return std::min(samplePosition(y, grid_.originY, grid_.factor, grid_.rows).first + 1,
                  grid_.rows - 1);
}

RowUpsampler::Rows RowUpsampler::rowsAt(std::int64_t y, const std::uint16_t* samples,
                                        const RowKernels& kernels) {
  const SamplePosition at = samplePosition(y, grid_.originY, grid_.factor, grid_.rows);
  const std::uint16_t* firstRow = widened(at.first, samples, kernels);
  const std::uint16_t* secondRow =
      widened(std::min(at.first + 1, grid_.rows - 1), samples, kernels);
  return {firstRow + skip_ * 4, secondRow + skip_ * 4, weightOf(1.0 - at.weight),
          weightOf(at.weight)};
}

const std::uint16_t* RowUpsampler::widened(int row, const std::uint16_t* samples,
                                           const RowKernels& kernels) {
  for (int slot = 0; slot < 2; ++slot) {
    if (rowIndex_[slot] == row) return rows_[slot].data();
  }
  // Rows are asked for top-down, so the older slot is the one to reuse.
  const int slot = nextSlot_;
  nextSlot_ ^= 1;
  rowIndex_[slot] = row;
  const std::uint16_t* rowSamples =
      samples + (std::size_t(row) * grid_.columns + std::size_t(firstInterval_)) * 4;
  kernels.interpolate(rows_[slot].data(), rowSamples, intervals_, grid_.factor, weights_.data());
  return rows_[slot].data();
}

}  // namespace platform::render
