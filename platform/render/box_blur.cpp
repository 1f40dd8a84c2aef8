#include "platform/render/box_blur.h"

#include "platform/render/vector_clones.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace platform::render {

BoxCascade boxCascadeForSigma(double sigma) {
  // Boxes of two neighbouring odd widths, as many of the wider as bring the variance closest
  // to sigma^2 (a box of width w adds (w^2 - 1) / 12).
  BoxCascade cascade;
  if (!(sigma > 0.0)) return cascade;
  constexpr int kPasses = 3;
  const double variance = sigma * sigma;
  int lower = static_cast<int>(std::floor(std::sqrt(12.0 * variance / kPasses + 1.0)));
  if (lower % 2 == 0) --lower;
  lower = std::max(lower, 1);
  const int upper = lower + 2;
  const double wider =
      (12.0 * variance - kPasses * (lower * lower - 1.0)) / (upper * upper - lower * lower);
  const int wide = std::clamp(static_cast<int>(std::lround(wider)), 0, kPasses);
  for (int pass = 0; pass < kPasses; ++pass) {
    const int width = pass < kPasses - wide ? lower : upper;
    cascade.radii[std::size_t(pass)] = (width - 1) / 2;
  }
  return cascade;
}

namespace {

using Float4 = float __attribute__((vector_size(16)));

inline Float4 load4(const float* p) {
  Float4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void store4(float* p, Float4 v) {
  std::memcpy(p, &v, sizeof v);
}

// One box pass along kRows rows at once; their running sums are independent, which hides the
// latency of each sum's chain of additions.
template <int kRows>
__attribute__((always_inline)) inline void boxAlongRows(const float* in, float* out,
                                                        std::size_t stride, int n, int radius) {
  const float scale = 1.0f / float(2 * radius + 1);
  const int last = n - 1;
  auto at = [&](int row, int i) {
    return load4(in + row * stride + 4 * std::size_t(std::clamp(i, 0, last)));
  };
  Float4 sum[kRows];
  for (int row = 0; row < kRows; ++row) {
    sum[row] = at(row, 0) * float(radius + 1);
    for (int k = 1; k <= radius; ++k) sum[row] += at(row, k);
  }
  // Clamping is needed only near the two ends.
  const int headEnd = std::min(n, radius);
  const int tailStart = std::max(headEnd, n - radius - 1);
  int i = 0;
  for (; i < headEnd; ++i) {
    for (int row = 0; row < kRows; ++row) {
      store4(out + row * stride + 4 * i, sum[row] * scale);
      sum[row] += at(row, i + radius + 1) - at(row, i - radius);
    }
  }
  for (; i < tailStart; ++i) {
    for (int row = 0; row < kRows; ++row) {
      const float* r = in + row * stride;
      store4(out + row * stride + 4 * i, sum[row] * scale);
      sum[row] += load4(r + 4 * (i + radius + 1)) - load4(r + 4 * (i - radius));
    }
  }
  for (; i < n; ++i) {
    for (int row = 0; row < kRows; ++row) {
      store4(out + row * stride + 4 * i, sum[row] * scale);
      sum[row] += at(row, i + radius + 1) - at(row, i - radius);
    }
  }
}

QUILLMERE_VECTOR_CLONES void boxAlongRows(const float* in, float* out, int count, int columns,
                                          int radius) {
  const std::size_t stride = std::size_t(columns) * 4;
  if (count == kRowGroup) {
    boxAlongRows<kRowGroup>(in, out, stride, columns, radius);
    return;
  }
  for (int row = 0; row < count; ++row) {
    boxAlongRows<1>(in + row * stride, out + row * stride, stride, columns, radius);
  }
}

// Moves a running sum of rows on by one row and writes its mean.
QUILLMERE_VECTOR_CLONES void slide(float* sum, const float* add, const float* remove, float* out,
                                   std::size_t n, float scale) {
  for (std::size_t x = 0; x < n; ++x) {
    sum[x] += add[x] - remove[x];
    out[x] = sum[x] * scale;
  }
}

}  // namespace

void boxBlurRows(float* rows, int count, int columns, const BoxCascade& cascade, float* scratch) {
  int radii[3];
  int passes = 0;
  for (int radius : cascade.radii) {
    if (radius > 0) radii[passes++] = radius;
  }
  if (passes == 0) return;
  // Ping-pong through the scratch, ending back in `rows`.
  const std::size_t size = std::size_t(count) * columns * 4;
  float* buffers[2] = {scratch, scratch + size};
  const float* from = rows;
  if (passes == 1) {
    std::memcpy(buffers[0], rows, size * sizeof(float));
    from = buffers[0];
  }
  for (int pass = 0; pass < passes; ++pass) {
    float* to = pass == passes - 1 ? rows : buffers[pass % 2];
    boxAlongRows(from, to, count, columns, radii[pass]);
    from = to;
  }
}

void ColumnBoxBlur::start(int columns, int rows, const BoxCascade& cascade, RowSource& source) {
  source_ = &source;
  rows_ = rows;
  finished_ = 0;
  stride_ = std::size_t(columns) * 4;
  stageCount_ = 0;
  // A stage after the first keeps the 2r + 2 rows of its input that its running sum spans.
  std::size_t size = stride_;  // the output row
  for (int radius : cascade.radii) {
    if (radius <= 0) continue;
    Stage& stage = stages_[std::size_t(stageCount_)];
    stage = Stage{radius, 0, nullptr, stageCount_ == 0 ? 0 : 2 * radius + 2, nullptr};
    size += stride_ * (std::size_t(stage.ringRows) + 1);
    ++stageCount_;
  }
  storage_.resize(std::max(storage_.size(), size));
  float* next = storage_.data();
  output_ = next;
  next += stride_;
  for (int s = 0; s < stageCount_; ++s) {
    stages_[std::size_t(s)].sum = next;
    next += stride_;
    stages_[std::size_t(s)].ring = next;
    next += stride_ * std::size_t(stages_[std::size_t(s)].ringRows);
  }
}

float* ColumnBoxBlur::next() {
  if (finished_ >= rows_) return output_;
  ++finished_;
  if (stageCount_ == 0) {
    std::memcpy(output_, source_->row(finished_ - 1), stride_ * sizeof(float));
  } else {
    produce(stageCount_ - 1, output_);
  }
  return output_;
}

// Row `row` (clamped to the image) of a stage's input: the image for the first stage, else
// the previous stage's output, made on demand.
const float* ColumnBoxBlur::input(int stage, int row) {
  row = std::clamp(row, 0, rows_ - 1);
  if (stage == 0) return source_->row(row);
  Stage& previous = stages_[std::size_t(stage - 1)];
  Stage& current = stages_[std::size_t(stage)];
  while (previous.produced <= row) {
    produce(stage - 1, current.ring + std::size_t(previous.produced % current.ringRows) * stride_);
  }
  return current.ring + std::size_t(row % current.ringRows) * stride_;
}

// Makes the next output row of a stage.
void ColumnBoxBlur::produce(int stage, float* out) {
  Stage& s = stages_[std::size_t(stage)];
  const int row = s.produced;
  const float scale = 1.0f / float(2 * s.radius + 1);
  if (row == 0) {
    const float* first = input(stage, 0);
    for (std::size_t x = 0; x < stride_; ++x) s.sum[x] = first[x] * float(s.radius + 1);
    for (int k = 1; k <= s.radius; ++k) {
      const float* add = input(stage, k);
      for (std::size_t x = 0; x < stride_; ++x) s.sum[x] += add[x];
    }
    for (std::size_t x = 0; x < stride_; ++x) out[x] = s.sum[x] * scale;
  } else {
    const float* add = input(stage, row + s.radius);
    const float* remove = input(stage, row - s.radius - 1);
    slide(s.sum, add, remove, out, stride_, scale);
  }
  ++s.produced;
}

}  // namespace platform::render
