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
  // Variances add: the block mean's, the decimation's, the samples' blur and the
  // interpolation's. Decimate where the samples are then still blurred by about a sample.
  auto sampleVariance = [&](int factor, int decimation) {
    const double block = double(factor) / decimation;
    const double fixed =
        (block * block - 1.0) / 12.0 + (decimation > 1 ? block * block / 2.0 : 0.0);
    return (sigma * sigma - fixed) / (double(factor) * factor) - interpolationVariance(factor);
  };
  if (2 * grid.factor <= 2 * kMaxFactor && grid.factor % 4 == 0 &&
      sampleVariance(2 * grid.factor, 2) >= (spacing == SampleSpacing::fine ? 1.0 : 0.0)) {
    grid.factor *= 2;
    grid.decimation = 2;
  }
  const std::int64_t f = grid.factor;
  grid.cascade =
      boxCascadeForSigma(std::sqrt(std::max(sampleVariance(grid.factor, grid.decimation), 0.0)));
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
  madeTopEdge_ = false;
  madeBottomEdge_ = false;
  const std::size_t stride = std::size_t(grid.columns) * 4;
  samples_.resize(std::max(samples_.size(), stride * grid.rows));
  edgeRows_.resize(std::max(edgeRows_.size(), 2 * stride));
  fineBlocks_.resize(std::max(fineBlocks_.size(), 2 * stride + 4));
  fineRows_.resize(std::max(fineRows_.size(), 3 * stride));
  fineRowIndex_[0] = fineRowIndex_[1] = fineRowIndex_[2] = -1;
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

void BackdropBlur::downsampleRow(int row) {
  const std::size_t stride = std::size_t(grid_.columns) * 4;
  float* out = samples_.data() + std::size_t(row) * stride;
  if (beneath_ == nullptr) {
    const float black[4] = {0.0f, 0.0f, 0.0f, 255.0f};
    for (std::size_t p = 0; p < stride; p += 4) std::memcpy(out + p, black, sizeof black);
    return;
  }
  if (grid_.decimation == 1) {
    rowOfBlocks(grid_.originY + std::int64_t(row) * grid_.factor, out);
    return;
  }
  // Half-width block rows 2 row, 2 row + 1 (centred on this row of samples) and 2 row + 2 are
  // taken 1 : 2 : 1.
  const float* above = fineRow(2 * row);
  const float* middle = fineRow(2 * row + 1);
  const float* below = fineRow(2 * row + 2);
  for (std::size_t i = 0; i < stride; ++i) {
    out[i] = 0.25f * (above[i] + below[i]) + 0.5f * middle[i];
  }
}

// Half-width block row `index`; row 2 j + 1 is centred on row j of samples.
const float* BackdropBlur::fineRow(int index) {
  const std::size_t stride = std::size_t(grid_.columns) * 4;
  float* slot = fineRows_.data() + std::size_t(index % 3) * stride;
  if (fineRowIndex_[index % 3] != index) {
    const int block = grid_.factor / 2;
    rowOfBlocks(grid_.originY - block / 2 + std::int64_t(index) * block, slot);
    fineRowIndex_[index % 3] = index;
  }
  return slot;
}

void BackdropBlur::rowOfBlocks(std::int64_t top, float* out) {
  const std::size_t stride = std::size_t(grid_.columns) * 4;
  const int height = grid_.factor / grid_.decimation;
  const bool above = top + height <= source_.y0;
  const bool below = top >= source_.y1;
  if (!above && !below) {
    makeRowOfBlocks(top, out);
    return;
  }
  // Every row of blocks wholly above (or below) the source repeats its edge row.
  float* edge = edgeRows_.data() + (above ? 0 : stride);
  bool& made = above ? madeTopEdge_ : madeBottomEdge_;
  if (!made) {
    makeRowOfBlocks(top, edge);
    made = true;
  }
  std::memcpy(out, edge, stride * sizeof(float));
}

void BackdropBlur::makeRowOfBlocks(std::int64_t top, float* out) {
  if (grid_.decimation == 1) {
    averageBlocks(top, {grid_.factor, grid_.originX, grid_.columns}, out);
    return;
  }
  // Half-width blocks, the (2 j + 1)-th centred on sample j, then taken 1 : 2 : 1 along the
  // row.
  const int block = grid_.factor / 2;
  averageBlocks(top, {block, grid_.originX - block / 2, 2 * grid_.columns + 1}, fineBlocks_.data());
  const float* fine = fineBlocks_.data();
  for (int j = 0; j < grid_.columns; ++j) {
    for (int c = 0; c < 4; ++c) {
      out[4 * j + c] = 0.25f * (fine[8 * j + c] + fine[8 * j + 8 + c]) + 0.5f * fine[8 * j + 4 + c];
    }
  }
}

// The means of one row of blocks whose first pixel row is `top`; blocks that reach past the
// source repeat its edge pixels.
void BackdropBlur::averageBlocks(std::int64_t top, const Blocks& blocks, float* out) {
  const ConstPixelBuffer& beneath = *beneath_;
  const PixelRect& source = source_;
  const int f = blocks.factor;
  const std::uint8_t* rows[kMaxFactor];
  for (int k = 0; k < f; ++k) {
    const std::int64_t y = std::clamp(top + k, source.y0, source.y1 - 1);
    rows[k] = beneath.pixels + y * beneath.stride;
  }
  // Blocks [inner0, inner1) lie wholly inside the source.
  const std::int64_t offset = source.x0 - blocks.originX;
  const int inner0 =
      static_cast<int>(std::clamp<std::int64_t>((offset + f - 1) / f, 0, blocks.columns));
  const int inner1 = static_cast<int>(
      std::clamp<std::int64_t>((offset + source.width()) / f, inner0, blocks.columns));
  const std::uint8_t* starts[kMaxFactor];
  for (int k = 0; k < f; ++k) starts[k] = rows[k] + (blocks.originX + inner0 * f) * 4;
  kernels_->meanBlocks(out + 4 * inner0, starts, f, inner1 - inner0);
  for (int j = 0; j < blocks.columns; ++j) {
    if (j == inner0) j = inner1;
    if (j == blocks.columns) break;
    const std::int64_t left = blocks.originX + std::int64_t(j) * f;
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
