#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/render/backdrop_blur.h"
#include "platform/render/row_kernels.h"

namespace platform::render {

// Turns sample rows into full-width add rows for the row kernels, interpolating along the row
// here and between two rows in the kernel. Each sample row is widened once a frame.
class RowUpsampler final {
 public:
  // For pixel columns [x0, x1) of `grid`, which reaches at least one block past them on both
  // sides. Forgets the rows of the last frame.
  void prepare(const BlurGrid& grid, std::int64_t x0, std::int64_t x1);

  struct Rows {
    const std::uint16_t* first;
    const std::uint16_t* second;
    std::uint16_t weight0;
    std::uint16_t weight1;
  };

  // The last row of samples that pixel row y needs.
  int lastSampleRow(std::int64_t y) const;

  // The two add rows around pixel row y and their weights, from samples that hold add values.
  Rows rowsAt(std::int64_t y, const std::uint16_t* samples, const RowKernels& kernels);

 private:
  const std::uint16_t* widened(int row, const std::uint16_t* samples, const RowKernels& kernels);

  BlurGrid grid_;
  int firstInterval_ = 0;  // the interval between samples that holds pixel x0
  int intervals_ = 0;
  std::int64_t skip_ = 0;  // pixels of the first interval left of x0
  std::vector<std::uint16_t> weights_;
  std::array<std::vector<std::uint16_t>, 2> rows_;
  std::array<int, 2> rowIndex_{-1, -1};
  int nextSlot_ = 0;
};

}  // namespace platform::render
