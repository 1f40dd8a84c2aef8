#pragma once

#include <cstdint>
#include <span>

namespace platform::render {

// What a row kernel adds to a channel is carried as 16-bit fixed point with this many fraction
// bits, the rounding half already included, so that the kernel itself only shifts.
inline constexpr int kAddFractionBits = 7;
// The largest add value a kernel accepts; sums with the scaled input then stay below 2^16.
inline constexpr std::uint16_t kMaxAdd = 0x7fff;
// The scale that keeps the input as it is.
inline constexpr std::uint16_t kUnitScale = 1 << 15;
// An interpolation weight of one, for blendLerp.
inline constexpr std::uint32_t kUnitWeight = 1 << 16;
// Sets the alpha byte of every BGRA pixel.
inline constexpr std::uint32_t kOpaqueMask = 0xff000000u;

// The fraction of the input that a blend keeps, clamped to [0, 1].
std::uint16_t toScale(double fraction);
// A premultiplied contribution in channel levels (0 to 255) as an add value, rounding included.
std::uint16_t toAdd(double level);

// The per-row operations of the renderer's hot loops, over `n` BGRA pixels. Each variant gives
// the same bytes as the portable one.
struct RowKernels {
  const char* name;
  // out = in * scale + add, per channel, saturated; the alpha byte is then ORed with
  // orMask >> 24. `in` may be null (out = add) and may equal `out`.
  void (*blend)(std::uint8_t* out, const std::uint8_t* in, int n, std::uint16_t scale,
                const std::uint16_t* add, std::uint32_t orMask);
  // As blend, with the same 4 add values for every pixel.
  void (*blendConstant)(std::uint8_t* out, const std::uint8_t* in, int n, std::uint16_t scale,
                        const std::uint16_t* add, std::uint32_t orMask);
  // As blend, with add = add0 * weight0 + add1 * weight1 (weights in units of 2^-16, adding
  // up to at most 2^16).
  void (*blendLerp)(std::uint8_t* out, const std::uint8_t* in, int n, std::uint16_t scale,
                    const std::uint16_t* add0, const std::uint16_t* add1, std::uint16_t weight0,
                    std::uint16_t weight1, std::uint32_t orMask);
  // out[j] = the mean of block j, 4 floats in levels with alpha 255, for `blocks` neighbouring
  // factor x factor blocks whose first pixels start the `factor` rows (factor at most 16).
  void (*meanBlocks)(float* out, const std::uint8_t* const* rows, int factor, int blocks);
  // Widens samples (4 channels each) to pixels, `factor` pixels between each sample and the
  // next: pixel p of interval j is samples[j] * weights[p][0] + samples[j + 1] *
  // weights[p][1], per channel. `weights` holds factor pairs of 4-channel weight vectors
  // (8 values a pair), each pair adding up to at most 2^16.
  void (*interpolate)(std::uint16_t* out, const std::uint16_t* samples, int intervals, int factor,
                      const std::uint16_t* weights);
};

// The fastest variant this processor runs.
const RowKernels& rowKernels();
// Every variant this processor runs, the portable one first.
std::span<const RowKernels* const> supportedRowKernels();

// The portable variant, and the processor-specific ones (null where not built or not supported).
const RowKernels& portableRowKernels();
const RowKernels* sse2RowKernels();
const RowKernels* avx2RowKernels();

}  // namespace platform::render
