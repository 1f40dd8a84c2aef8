#include "platform/render/backdrop_blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::render {

namespace {

// The blur left for the samples is then about two and a half samples wide, which keeps the
// box cascade close to a Gaussian.
constexpr double kSigmaPerFactor = 2.5;
// Frames up to this size stay in the last-level cache between the two reads of a frame.
constexpr std::size_t kCachedFrameBytes = std::size_t(16) << 20;
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
  // Variances add: the block mean's, the samples' blur and the interpolation's.
  const double blockVariance = (double(f) * f - 1.0) / 12.0;
  const double sampleVariance =
      (sigma * sigma - blockVariance) / double(f * f) - interpolationVariance(grid.factor);
  grid.cascade = boxCascadeForSigma(std::sqrt(std::max(sampleVariance, 0.0)));
  // Each box pass continues the grid with its own edge sample, which is the source's edge only
  // as far out as no earlier pass reached; so the grid reaches past the source by the whole
  // cascade, and one sample more for the interpolation.
  std::int64_t reach = 2;
  for (int radius : grid.cascade.radii) reach += radius;
  const std::int64_t blocks = std::max((margin + f - 1) / f, reach);
  grid.originX = source.x0 - blocks * f;
  grid.originY = source.y0 - blocks * f;
  grid.columns = static_cast<int>(2 * blocks + (source.width() + f - 1) / f);
  grid.rows = static_cast<int>(2 * blocks + (source.height() + f - 1) / f);
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

void BackdropBlur::start(const ConstPixelBuffer* beneath, const PixelRect& source,
                         const BlurGrid& grid, const RowKernels& kernels) {
  beneath_ = beneath;
  source_ = source;
  grid_ = grid;
  kernels_ = &kernels;
  made_ = 0;
  // A frame that the caches hold is read as fast without asking ahead.
  prefetching_ =
      beneath != nullptr && std::size_t(source.width()) * source.height() * 4 > kCachedFrameBytes;
  madeTopEdge_ = false;
  madeBottomEdge_ = false;
  const std::size_t stride = std::size_t(grid.columns) * 4;
  samples_.resize(std::max(samples_.size(), stride * grid.rows));
  edgeRows_.resize(std::max(edgeRows_.size(), 2 * stride));
  rowScratch_.resize(std::max(rowScratch_.size(), stride * kRowGroup * 2));
  columnBlur_.start(grid.columns, grid.rows, grid.cascade, *this);
}

const float* BackdropBlur::row(int index) {
  const std::size_t stride = std::size_t(grid_.columns) * 4;
  while (made_ <= index) {
    // Each group of rows is blurred along the row while it is still in the cache.
    const int count = std::min(kRowGroup, grid_.rows - made_);
    for (int row = made_; row < made_ + count; ++row) downsampleRow(row);
    if (beneath_ != nullptr) {
      boxBlurRows(samples_.data() + made_ * stride, count, grid_.columns, grid_.cascade,
                  rowScratch_.data());
    }
    made_ += count;
  }
  return samples_.data() + std::size_t(index) * stride;
}

void BackdropBlur::prefetch(int turn) const {
  if (!prefetching_ || made_ >= grid_.rows) return;
  const int span = kRowGroup * grid_.factor;
  const std::int64_t y = grid_.originY + std::int64_t(made_) * grid_.factor + turn % span;
  if (y < source_.y0 || y >= source_.y1) return;
  const std::uint8_t* row = beneath_->pixels + y * beneath_->stride + source_.x0 * 4;
  const std::size_t bytes = std::size_t(source_.width()) * 4;
  for (std::size_t x = 0; x < bytes; x += 64) __builtin_prefetch(row + x);
}

void BackdropBlur::downsampleRow(int row) {
  const std::size_t stride = std::size_t(grid_.columns) * 4;
  float* out = samples_.data() + std::size_t(row) * stride;
  if (beneath_ == nullptr) {
    const float black[4] = {0.0f, 0.0f, 0.0f, 255.0f};
    for (std::size_t p = 0; p < stride; p += 4) std::memcpy(out + p, black, sizeof black);
    return;
  }
  const int f = grid_.factor;
  const std::int64_t top = grid_.originY + std::int64_t(row) * f;
  // Blocks wholly above or below the source repeat its edge row: every such row of samples is
  // the same, so it is made once. (Not copied from the row before, which may be blurred by
  // now.)
  const bool above = top + f <= source_.y0;
  const bool below = top >= source_.y1;
  if (above || below) {
    float* edge = edgeRows_.data() + (above ? 0 : stride);
    bool& made = above ? madeTopEdge_ : madeBottomEdge_;
    if (!made) {
      averageBlocks(top, edge);
      made = true;
    }
    std::memcpy(out, edge, stride * sizeof(float));
    return;
  }
  averageBlocks(top, out);
}

// The samples of one row of blocks whose first pixel row is `top`; blocks that reach past the
// source repeat its edge pixels.
void BackdropBlur::averageBlocks(std::int64_t top, float* out) {
  const ConstPixelBuffer& beneath = *beneath_;
  const PixelRect& source = source_;
  const BlurGrid& grid = grid_;
  const int f = grid.factor;
  const std::uint8_t* rows[kMaxFactor];
  for (int k = 0; k < f; ++k) {
    const std::int64_t y = std::clamp(top + k, source.y0, source.y1 - 1);
    rows[k] = beneath.pixels + y * beneath.stride;
  }
  // Blocks [inner0, inner1) lie wholly inside the source.
  const std::int64_t offset = source.x0 - grid.originX;
  const int inner0 = static_cast<int>(std::min<std::int64_t>((offset + f - 1) / f, grid.columns));
  const int inner1 = static_cast<int>(
      std::clamp<std::int64_t>((offset + source.width()) / f, inner0, grid.columns));
  const std::uint8_t* starts[kMaxFactor];
  for (int k = 0; k < f; ++k) starts[k] = rows[k] + (grid.originX + inner0 * f) * 4;
  kernels_->meanBlocks(out + 4 * inner0, starts, f, inner1 - inner0);
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
