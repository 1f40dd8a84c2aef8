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
// past it on every side (and at least one block, so that the edge pixels carry on exactly).
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
// its edge pixels beyond it. Keeps its buffers from frame to frame.
class BackdropBlur final {
 public:
  // Hands the sink every row of blurred samples, top-down. `beneath` null blurs black;
  // `source` lies within `beneath`.
  void blur(const ConstPixelBuffer* beneath, const PixelRect& source, const BlurGrid& grid,
            const RowKernels& kernels, RowSink& sink);

 private:
  void downsampleRow(const ConstPixelBuffer& beneath, const PixelRect& source, const BlurGrid& grid,
                     const RowKernels& kernels, int row);

  std::vector<float> samples_;
  std::vector<float> rowScratch_;
  ColumnBoxBlur columnBlur_;
};

}  // namespace platform::render
