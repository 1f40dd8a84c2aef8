#include "platform/render/row_kernels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace platform::render {

std::uint16_t toScale(double fraction) {
  if (!(fraction > 0.0)) return 0;  // also NaN
  if (fraction >= 1.0) return kUnitScale;
  return static_cast<std::uint16_t>(std::lround(fraction * kUnitScale));
}

std::uint16_t toAdd(double level) {
  constexpr double kOne = 1 << kAddFractionBits;
  double value = (level > 0.0 ? level : 0.0) * kOne + kOne / 2.0;  // NaN counts as 0
  return static_cast<std::uint16_t>(std::min(std::floor(value), double{kMaxAdd}));
}

namespace {

inline std::uint8_t finish(std::uint32_t scaledInput, std::uint32_t add) {
  return static_cast<std::uint8_t>(std::min<std::uint32_t>((scaledInput + add) >> 7, 255));
}

inline std::uint32_t scaled(const std::uint8_t* in, std::size_t i, std::uint16_t scale) {
  return in == nullptr ? 0 : (std::uint32_t{in[i]} * scale) >> 8;
}

void setAlpha(std::uint8_t* out, int n, std::uint32_t orMask) {
  const auto alpha = static_cast<std::uint8_t>(orMask >> 24);
  if (alpha == 0) return;
  for (int p = 0; p < n; ++p) out[4 * p + 3] |= alpha;
}

void blendPortable(std::uint8_t* out, const std::uint8_t* in, int n, std::uint16_t scale,
                   const std::uint16_t* add, std::uint32_t orMask) {
  const std::size_t count = std::size_t(n) * 4;
  for (std::size_t i = 0; i < count; ++i) out[i] = finish(scaled(in, i, scale), add[i]);
  setAlpha(out, n, orMask);
}

void blendConstantPortable(std::uint8_t* out, const std::uint8_t* in, int n, std::uint16_t scale,
                           const std::uint16_t* add, std::uint32_t orMask) {
  const std::size_t count = std::size_t(n) * 4;
  for (std::size_t i = 0; i < count; ++i) out[i] = finish(scaled(in, i, scale), add[i % 4]);
  setAlpha(out, n, orMask);
}

void blendLerpPortable(std::uint8_t* out, const std::uint8_t* in, int n, std::uint16_t scale,
                       const std::uint16_t* add0, const std::uint16_t* add1, std::uint16_t weight0,
                       std::uint16_t weight1, std::uint32_t orMask) {
  const std::size_t count = std::size_t(n) * 4;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t add =
        ((std::uint32_t{add0[i]} * weight0) >> 16) + ((std::uint32_t{add1[i]} * weight1) >> 16);
    out[i] = finish(scaled(in, i, scale), add);
  }
  setAlpha(out, n, orMask);
}

void meanBlocksPortable(float* out, const std::uint8_t* const* rows, int factor, int blocks) {
  const float scale = 1.0f / float(factor * factor);
  for (int j = 0; j < blocks; ++j) {
    std::uint32_t sums[3] = {};
    for (int r = 0; r < factor; ++r) {
      const std::uint8_t* at = rows[r] + std::size_t(j) * factor * 4;
      for (int x = 0; x < factor; ++x) {
        for (int c = 0; c < 3; ++c) sums[c] += at[4 * x + c];
      }
    }
    for (int c = 0; c < 3; ++c) out[4 * j + c] = float(sums[c]) * scale;
    out[4 * j + 3] = 255.0f;
  }
}

void interpolatePortable(std::uint16_t* out, const std::uint16_t* samples, int intervals,
                         int factor, const std::uint16_t* weights) {
  for (int j = 0; j < intervals; ++j) {
    const std::uint16_t* a = samples + 4 * j;
    const std::uint16_t* b = a + 4;
    for (int p = 0; p < factor; ++p) {
      const std::uint16_t* w = weights + 8 * p;
      for (int c = 0; c < 4; ++c) {
        *out++ = static_cast<std::uint16_t>(((std::uint32_t{a[c]} * w[c]) >> 16) +
                                            ((std::uint32_t{b[c]} * w[4 + c]) >> 16));
      }
    }
  }
}

constexpr RowKernels kPortable{"portable",        blendPortable,      blendConstantPortable,
                               blendLerpPortable, meanBlocksPortable, interpolatePortable};

struct Supported {
  std::array<const RowKernels*, 3> list{};
  std::size_t count = 0;
  Supported() {
    for (const RowKernels* kernels : {&kPortable, sse2RowKernels(), avx2RowKernels()}) {
      if (kernels != nullptr) list[count++] = kernels;
    }
  }
};

const Supported& supported() {
  static const Supported instance;
  return instance;
}

}  // namespace

const RowKernels& portableRowKernels() {
  return kPortable;
}

std::span<const RowKernels* const> supportedRowKernels() {
  return {supported().list.data(), supported().count};
}

const RowKernels& rowKernels() {
  static const RowKernels& best = *supportedRowKernels().back();
  return best;
}

}  // namespace platform::render
