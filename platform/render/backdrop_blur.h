#pragma once

#include <cstdint>
#include <vector>

#include "platform/render/box_blur.h"
#include "platform/render/effect_layout.h"
#include "platform/render/row_kernels.h"

namespace platform::render {

// The blur runs on samples, each the mean of a factor x factor block of pixels; blurring them
// and interpolating back costs a fraction of blurring every pixel and looks the same, since a
// blur this wide keeps no detail finer than a block.
struct BlurGrid {
  int factor = 1;
  std::int64_t originX = 0;  // the top-left pixel of the first block
  std::int64_t originY = 0;
  int columns = 0;
  int rows = 0;
  BoxCascade cascade;
};

// Coarse samples are twice as far apart: enough where only means over squares are taken.
enum class SampleSpacing { fine, coarse };

// The grid over `source` for a Gaussian of sigmaPixels, reaching at least `margin` pixels
// past it on every side, and far enough that the edge pixels carry on exactly.
BlurGrid blurGridFor(const PixelRect& source, double sigmaPixels, std::int64_t margin,
                     SampleSpacing spacing = SampleSpacing::fine);

// Where a pixel falls between two neighbouring samples along one axis: the first of them and
// the weight of the second. Past the grid the edge sample carries on.
struct SamplePosition {
  int first = 0;
  float weight = 0.0f;
};

SamplePosition samplePosition(std::int64_t pixel, std::int64_t origin, int factor, int count);

// Blurs what lies beneath a source rectangle into samples (BGRA floats in levels), continuing
// its edge pixels beyond it. Rows are made on demand, top-down, so that the pixels a row of
// samples reads are still in the cache when the rows around it are drawn. Keeps its buffers
// from frame to frame.
class BackdropBlur final : private RowSource {
 public:
  // Starts a frame. `beneath` null blurs black; `source` lies within `beneath`, which must
  // stay as it is until the last row is taken.
  void start(const ConstPixelBuffer* beneath, const PixelRect& source, const BlurGrid& grid,
             const RowKernels& kernels);
  // The next row of blurred samples, top-down; valid until the next call, free to change.
  float* nextRow() { return columnBlur_.next(); }
  // Asks the memory for one of the pixel rows that the next group of samples reads, so that
  // reading a large frame spreads over the rows drawn meanwhile; `turn` picks which, round
  // the group.
  void prefetch(int turn) const;

 private:
  // A row of samples blurred along the row; rows are made a group at a time.
  const float* row(int index) override;
  void downsampleRow(int row);
  void averageBlocks(std::int64_t top, float* out);

  const ConstPixelBuffer* beneath_ = nullptr;
  PixelRect source_;
  BlurGrid grid_;
  const RowKernels* kernels_ = nullptr;
  int made_ = 0;
  bool prefetching_ = false;

  std::vector<float> samples_;
  std::vector<float> edgeRows_;  // the rows of samples above and below the source
  bool madeTopEdge_ = false;
  bool madeBottomEdge_ = false;
  std::vector<float> rowScratch_;
  ColumnBoxBlur columnBlur_;
};

}  // namespace platform::render
