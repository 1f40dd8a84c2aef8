#include "platform/render/backdrop_blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::render {

namespace {

// The blur left for the samples is then about two and a half samples wide, which keeps the
// box cascade close to a Gaussian.
constexpr double kSigmaPerFactor = 2.5;
// Sums of factor^2 levels must fit in 16 bits.
constexpr int kMaxFactor = 16;

// The variance that interpolating between samples adds, averaged over a block's pixels, in
// samples squared: a pixel at weight w between two samples spreads w (1 - w).
double interpolationVariance(int factor) {
  double total = 0.0;
  for (int p = 0; p < factor; ++p) {
    SamplePosition at = samplePosition(factor + p, 0, factor, 4);
    total += at.weight * (1.0 - at.weight);
  }
  return total / factor;
}

}  // namespace

BlurGrid blurGridFor(const PixelRect& source, double sigmaPixels, std::int64_t margin,
                     SampleSpacing spacing) {
  BlurGrid grid;
  const double sigma = std::clamp(sigmaPixels, 0.0, kMaxSigmaPixels);
  // A multiple of four where the blur is wide enough keeps the kernels on whole vectors.
  const double factor = sigma / kSigmaPerFactor * (spacing == SampleSpacing::coarse ? 2.0 : 1.0);
  grid.factor = std::clamp(factor >= 2.0 ? 4 * static_cast<int>(std::lround(factor / 4.0))
                                         : static_cast<int>(std::lround(factor)),
                           1, kMaxFactor);
  const std::int64_t f = grid.factor;
  const std::int64_t blocks = std::max<std::int64_t>(1, (margin + f - 1) / f);
  grid.originX = source.x0 - blocks * f;
  grid.originY = source.y0 - blocks * f;
  grid.columns = static_cast<int>(2 * blocks + (source.width() + f - 1) / f);
  grid.rows = static_cast<int>(2 * blocks + (source.height() + f - 1) / f);
  // Variances add: the block mean's, the samples' blur and the interpolation's.
  const double blockVariance = (double(f) * f - 1.0) / 12.0;
  const double sampleVariance =
      (sigma * sigma - blockVariance) / double(f * f) - interpolationVariance(grid.factor);
  grid.cascade = boxCascadeForSigma(std::sqrt(std::max(sampleVariance, 0.0)));
  return grid;
}

SamplePosition samplePosition(std::int64_t pixel, std::int64_t origin, int factor, int count) {
  // Sample j sits at the centre of its block, at pixel origin + j * factor + (factor - 1) / 2.
  const double at = (double(pixel - origin) - (factor - 1) / 2.0) / factor;
  if (count < 2 || at <= 0.0) return {0, 0.0f};
  if (at >= count - 1) return {count - 2, 1.0f};
  const int first = static_cast<int>(at);
  return {first, static_cast<float>(at - first)};
}

void BackdropBlur::blur(const ConstPixelBuffer* beneath, const PixelRect& source,
                        const BlurGrid& grid, const RowKernels& kernels, RowSink& sink) {
  const std::size_t stride = std::size_t(grid.columns) * 4;
  samples_.resize(std::max(samples_.size(), stride * grid.rows));
  rowScratch_.resize(std::max(rowScratch_.size(), stride * kRowGroup * 2));
  if (beneath == nullptr) {
    const float black[4] = {0.0f, 0.0f, 0.0f, 255.0f};
    for (std::size_t p = 0; p < stride * grid.rows; p += 4) {
      std::memcpy(samples_.data() + p, black, sizeof black);
    }
  } else {
    // Each group of rows is blurred along the row while it is still in the cache.
    for (int row = 0; row < grid.rows; ++row) {
      downsampleRow(*beneath, source, grid, kernels, row);
      const int group = row % kRowGroup;
      if (group == kRowGroup - 1 || row == grid.rows - 1) {
        boxBlurRows(samples_.data() + (row - group) * stride, group + 1, grid.columns, grid.cascade,
                    rowScratch_.data());
      }
    }
  }
  columnBlur_.run(samples_.data(), grid.columns, grid.rows, grid.cascade, sink);
}

void BackdropBlur::downsampleRow(const ConstPixelBuffer& beneath, const PixelRect& source,
                                 const BlurGrid& grid, const RowKernels& kernels, int row) {
  const std::size_t stride = std::size_t(grid.columns) * 4;
  float* out = samples_.data() + std::size_t(row) * stride;
  const int f = grid.factor;
  const std::int64_t top = grid.originY + std::int64_t(row) * f;
  // Blocks wholly above or below the source repeat its edge row: the same samples again.
  if (row > 0 && (top + f <= source.y0 || top - f >= source.y1 - 1)) {
    std::memcpy(out, out - stride, stride * sizeof(float));
    return;
  }
  const std::uint8_t* rows[kMaxFactor];
  for (int k = 0; k < f; ++k) {
    const std::int64_t y = std::clamp(top + k, source.y0, source.y1 - 1);
    rows[k] = beneath.pixels + y * beneath.stride;
  }
  // Blocks [inner0, inner1) lie wholly inside the source; the others repeat its edge columns.
  const std::int64_t offset = source.x0 - grid.originX;
  const int inner0 = static_cast<int>(std::min<std::int64_t>((offset + f - 1) / f, grid.columns));
  const int inner1 = static_cast<int>(
      std::clamp<std::int64_t>((offset + source.width()) / f, inner0, grid.columns));
  const std::uint8_t* starts[kMaxFactor];
  for (int k = 0; k < f; ++k) starts[k] = rows[k] + (grid.originX + inner0 * f) * 4;
  kernels.meanBlocks(out + 4 * inner0, starts, f, inner1 - inner0);
  for (int j = 0; j < grid.columns; ++j) {
    if (j == inner0) j = inner1;
    if (j == grid.columns) break;
    const std::int64_t left = grid.originX + std::int64_t(j) * f;
    const bool outsideLeft = left + f <= source.x0;
    const bool outsideRight = left >= source.x1;
    if (j > 0 && ((outsideLeft && j < inner0) || (outsideRight && left - f >= source.x1))) {
      std::memcpy(out + 4 * j, out + 4 * (j - 1), 4 * sizeof(float));
      continue;
    }
    std::uint32_t sums[3] = {};
    for (int k = 0; k < f; ++k) {
      for (int x = 0; x < f; ++x) {
        const std::int64_t column = std::clamp(left + x, source.x0, source.x1 - 1);
        for (int c = 0; c < 3; ++c) sums[c] += rows[k][column * 4 + c];
      }
    }
    for (int c = 0; c < 3; ++c) out[4 * j + c] = float(sums[c]) / float(f * f);
    out[4 * j + 3] = 255.0f;
  }
}

}  // namespace platform::render
