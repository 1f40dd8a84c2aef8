// SSE2 and AVX2 versions of the row kernels. SSE2 is always there on x86-64; AVX2 is chosen at
// run time, so the build itself needs no special flags.
#include "platform/render/row_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstddef>

namespace platform::render {

namespace {

// Where a blend takes what it adds: a row of add values, one pixel's worth repeated, or two
// rows interpolated.
enum class AddSource { row, constant, lerp };

struct BlendArguments {
  std::uint8_t* out;
  const std::uint8_t* in;
  int n;
  std::uint16_t scale;
  const std::uint16_t* add0;
  const std::uint16_t* add1;
  std::uint16_t weight0;
  std::uint16_t weight1;
  std::uint32_t orMask;
};

// The portable kernels finish whatever does not fill a whole vector.
void blendTail(AddSource source, const BlendArguments& a, std::size_t from) {
  const int done = static_cast<int>(from / 4);
  if (done == a.n) return;
  std::uint8_t* out = a.out + from;
  const std::uint8_t* in = a.in == nullptr ? nullptr : a.in + from;
  const RowKernels& portable = portableRowKernels();
  switch (source) {
    case AddSource::row:
      portable.blend(out, in, a.n - done, a.scale, a.add0 + from, a.orMask);
      break;
    case AddSource::constant:
      portable.blendConstant(out, in, a.n - done, a.scale, a.add0, a.orMask);
      break;
    case AddSource::lerp:
      portable.blendLerp(out, in, a.n - done, a.scale, a.add0 + from, a.add1 + from, a.weight0,
                         a.weight1, a.orMask);
      break;
  }
}

// The interpolation weights stay in registers (or close by) for factors up to this.
constexpr int kMaxInterpolationFactor = 16;

// ---- SSE2: four pixels a step.

template <AddSource kSource, bool kMask>
void blendSse2Body(const BlendArguments& a) {
  const std::size_t count = std::size_t(a.n) * 4;
  const __m128i zero = _mm_setzero_si128();
  const __m128i scale = _mm_set1_epi16(static_cast<short>(a.scale));
  const __m128i w0 = _mm_set1_epi16(static_cast<short>(a.weight0));
  const __m128i w1 = _mm_set1_epi16(static_cast<short>(a.weight1));
  const __m128i mask = _mm_set1_epi32(static_cast<int>(a.orMask));
  __m128i constant = zero;
  if constexpr (kSource == AddSource::constant) {
    constant = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a.add0));
    constant = _mm_unpacklo_epi64(constant, constant);
  }
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    __m128i lo = constant;
    __m128i hi = constant;
    if constexpr (kSource != AddSource::constant) {
      lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.add0 + i));
      hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.add0 + i + 8));
    }
    if constexpr (kSource == AddSource::lerp) {
      lo = _mm_add_epi16(
          _mm_mulhi_epu16(lo, w0),
          _mm_mulhi_epu16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a.add1 + i)), w1));
      hi = _mm_add_epi16(
          _mm_mulhi_epu16(hi, w0),
          _mm_mulhi_epu16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a.add1 + i + 8)), w1));
    }
    if (a.in != nullptr) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.in + i));
      lo = _mm_add_epi16(lo, _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, v), scale));
      hi = _mm_add_epi16(hi, _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, v), scale));
    }
    __m128i result = _mm_packus_epi16(_mm_srli_epi16(lo, kAddFractionBits),
                                      _mm_srli_epi16(hi, kAddFractionBits));
    if constexpr (kMask) result = _mm_or_si128(result, mask);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a.out + i), result);
  }
  blendTail(kSource, a, i);
}

template <AddSource kSource>
void blendSse2(const BlendArguments& a) {
  if (a.orMask != 0) {
    blendSse2Body<kSource, true>(a);
  } else {
    blendSse2Body<kSource, false>(a);
  }
}

void blendSse2(std::uint8_t* out, const std::uint8_t* in, int n, std::uint16_t scale,
               const std::uint16_t* add, std::uint32_t orMask) {
  blendSse2<AddSource::row>({out, in, n, scale, add, nullptr, 0, 0, orMask});
}

void blendConstantSse2(std::uint8_t* out, const std::uint8_t* in, int n, std::uint16_t scale,
                       const std::uint16_t* add, std::uint32_t orMask) {
  blendSse2<AddSource::constant>({out, in, n, scale, add, nullptr, 0, 0, orMask});
}

void blendLerpSse2(std::uint8_t* out, const std::uint8_t* in, int n, std::uint16_t scale,
                   const std::uint16_t* add0, const std::uint16_t* add1, std::uint16_t weight0,
                   std::uint16_t weight1, std::uint32_t orMask) {
  blendSse2<AddSource::lerp>({out, in, n, scale, add0, add1, weight0, weight1, orMask});
}

// Finishes a block: its 4-channel sum in the low half of `sum` as a mean, alpha opaque.
inline void storeMean(float* out, __m128i sum, __m128 scale) {
  const __m128i zero = _mm_setzero_si128();
  sum = _mm_add_epi16(sum, _mm_shuffle_epi32(sum, 0x4e));
  const __m128 mean = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(sum, zero)), scale);
  const __m128 colour = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
  _mm_storeu_ps(out,
                _mm_or_ps(_mm_and_ps(colour, mean), _mm_andnot_ps(colour, _mm_set1_ps(255.0f))));
}

// Four pixels of a row a step, so for a factor that is a multiple of four.
void meanBlocksSse2(float* out, const std::uint8_t* const* rows, int factor, int blocks) {
  if (factor % 4 != 0) {
    portableRowKernels().meanBlocks(out, rows, factor, blocks);
    return;
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128 scale = _mm_set1_ps(1.0f / float(factor * factor));
  for (int j = 0; j < blocks; ++j) {
    __m128i sum = zero;
    const std::size_t left = std::size_t(j) * factor * 4;
    for (int r = 0; r < factor; ++r) {
      for (int x = 0; x < factor * 4; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + left + x));
        sum = _mm_add_epi16(sum,
                            _mm_add_epi16(_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero)));
      }
    }
    storeMean(out + 4 * j, sum, scale);
  }
}

// Two pixels a step, so for an even factor only.
void interpolateSse2(std::uint16_t* out, const std::uint16_t* samples, int intervals, int factor,
                     const std::uint16_t* weights) {
  if (factor % 2 != 0 || factor > kMaxInterpolationFactor) {
    portableRowKernels().interpolate(out, samples, intervals, factor, weights);
    return;
  }
  __m128i first[kMaxInterpolationFactor / 2];
  __m128i second[kMaxInterpolationFactor / 2];
  for (int p = 0; p < factor; p += 2) {
    const __m128i one = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 8 * p));
    const __m128i two = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 8 * p + 8));
    first[p / 2] = _mm_unpacklo_epi64(one, two);
    second[p / 2] = _mm_unpackhi_epi64(one, two);
  }
  for (int j = 0; j < intervals; ++j) {
    const __m128i pair = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 4 * j));
    const __m128i a = _mm_shuffle_epi32(pair, 0x44);
    const __m128i b = _mm_shuffle_epi32(pair, 0xee);
    for (int p = 0; p < factor / 2; ++p) {
      const __m128i value =
          _mm_add_epi16(_mm_mulhi_epu16(a, first[p]), _mm_mulhi_epu16(b, second[p]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), value);
      out += 8;
    }
  }
}

constexpr RowKernels kSse2{"sse2",        blendSse2,      blendConstantSse2,
                           blendLerpSse2, meanBlocksSse2, interpolateSse2};

// ---- AVX2: eight pixels a step. Rows of add values keep the plain channel order, so the input
// is widened in order: a 64-bit lane permute before the in-lane unpack, and one after the pack.
// A constant add needs neither, as every lane holds whole pixels.

#define QUILLMERE_AVX2 __attribute__((target("avx2")))

template <AddSource kSource, bool kMask>
QUILLMERE_AVX2 void blendAvx2Body(const BlendArguments& a) {
  constexpr bool kInOrder = kSource != AddSource::constant;
  const std::size_t count = std::size_t(a.n) * 4;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i scale = _mm256_set1_epi16(static_cast<short>(a.scale));
  const __m256i w0 = _mm256_set1_epi16(static_cast<short>(a.weight0));
  const __m256i w1 = _mm256_set1_epi16(static_cast<short>(a.weight1));
  const __m256i mask = _mm256_set1_epi32(static_cast<int>(a.orMask));
  __m256i constant = zero;
  if constexpr (kSource == AddSource::constant) {
    constant = _mm256_broadcastq_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a.add0)));
  }
  std::size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    __m256i lo = constant;
    __m256i hi = constant;
    if constexpr (kSource != AddSource::constant) {
      lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a.add0 + i));
      hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a.add0 + i + 16));
    }
    if constexpr (kSource == AddSource::lerp) {
      const auto* second = reinterpret_cast<const __m256i*>(a.add1 + i);
      lo = _mm256_add_epi16(_mm256_mulhi_epu16(lo, w0),
                            _mm256_mulhi_epu16(_mm256_loadu_si256(second), w1));
      hi = _mm256_add_epi16(_mm256_mulhi_epu16(hi, w0),
                            _mm256_mulhi_epu16(_mm256_loadu_si256(second + 1), w1));
    }
    if (a.in != nullptr) {
      __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a.in + i));
      if constexpr (kInOrder) v = _mm256_permute4x64_epi64(v, 0xd8);
      lo = _mm256_add_epi16(lo, _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, v), scale));
      hi = _mm256_add_epi16(hi, _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, v), scale));
    }
    __m256i result = _mm256_packus_epi16(_mm256_srli_epi16(lo, kAddFractionBits),
                                         _mm256_srli_epi16(hi, kAddFractionBits));
    if constexpr (kInOrder) result = _mm256_permute4x64_epi64(result, 0xd8);
    if constexpr (kMask) result = _mm256_or_si256(result, mask);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(a.out + i), result);
  }
  blendTail(kSource, a, i);
}

template <AddSource kSource>
QUILLMERE_AVX2 void blendAvx2(const BlendArguments& a) {
  if (a.orMask != 0) {
    blendAvx2Body<kSource, true>(a);
  } else {
    blendAvx2Body<kSource, false>(a);
  }
}

QUILLMERE_AVX2 void blendAvx2(std::uint8_t* out, const std::uint8_t* in, int n, std::uint16_t scale,
                              const std::uint16_t* add, std::uint32_t orMask) {
  blendAvx2<AddSource::row>({out, in, n, scale, add, nullptr, 0, 0, orMask});
}

QUILLMERE_AVX2 void blendConstantAvx2(std::uint8_t* out, const std::uint8_t* in, int n,
                                      std::uint16_t scale, const std::uint16_t* add,
                                      std::uint32_t orMask) {
  blendAvx2<AddSource::constant>({out, in, n, scale, add, nullptr, 0, 0, orMask});
}

QUILLMERE_AVX2 void blendLerpAvx2(std::uint8_t* out, const std::uint8_t* in, int n,
                                  std::uint16_t scale, const std::uint16_t* add0,
                                  const std::uint16_t* add1, std::uint16_t weight0,
                                  std::uint16_t weight1, std::uint32_t orMask) {
  blendAvx2<AddSource::lerp>({out, in, n, scale, add0, add1, weight0, weight1, orMask});
}

// Two blocks a step, each row's part of them summed as a tree so that the additions do not
// wait on each other. kChunks is the factor over four.
template <int kChunks>
QUILLMERE_AVX2 void meanBlockPairsAvx2(float* out, const std::uint8_t* const* rows, int pairs) {
  constexpr int kFactor = 4 * kChunks;
  constexpr std::size_t kBlockBytes = kFactor * 4;
  const __m256 scale = _mm256_set1_ps(1.0f / float(kFactor * kFactor));
  const __m256 opaque = _mm256_set1_ps(255.0f);
  for (int j = 0; j < pairs; ++j) {
    __m256i sums[2][2];
    for (int block = 0; block < 2; ++block) {
      const std::size_t left = (2 * std::size_t(j) + block) * kBlockBytes;
      __m256i partial[2] = {_mm256_setzero_si256(), _mm256_setzero_si256()};
      for (int r = 0; r < kFactor; ++r) {
        for (int c = 0; c < kChunks; ++c) {
          const auto* at = reinterpret_cast<const __m128i*>(rows[r] + left + 16 * c);
          partial[r % 2] =
              _mm256_add_epi16(partial[r % 2], _mm256_cvtepu8_epi16(_mm_loadu_si128(at)));
        }
      }
      sums[block][0] = partial[0];
      sums[block][1] = partial[1];
    }
    const __m256i first = _mm256_add_epi16(sums[0][0], sums[0][1]);
    const __m256i second = _mm256_add_epi16(sums[1][0], sums[1][1]);
    // Lane halves of both blocks side by side, added, then the two pixels left in each lane.
    __m256i both = _mm256_add_epi16(_mm256_permute2x128_si256(first, second, 0x20),
                                    _mm256_permute2x128_si256(first, second, 0x31));
    both = _mm256_add_epi16(both, _mm256_shuffle_epi32(both, 0x4e));
    const __m256 mean = _mm256_mul_ps(
        _mm256_cvtepi32_ps(_mm256_unpacklo_epi16(both, _mm256_setzero_si256())), scale);
    _mm256_storeu_ps(out + 8 * j, _mm256_blend_ps(mean, opaque, 0x88));
  }
}

QUILLMERE_AVX2 void meanBlocksAvx2(float* out, const std::uint8_t* const* rows, int factor,
                                   int blocks) {
  const int pairs = blocks / 2;
  switch (factor) {
    case 4:
      meanBlockPairsAvx2<1>(out, rows, pairs);
      break;
    case 8:
      meanBlockPairsAvx2<2>(out, rows, pairs);
      break;
    case 12:
      meanBlockPairsAvx2<3>(out, rows, pairs);
      break;
    case 16:
      meanBlockPairsAvx2<4>(out, rows, pairs);
      break;
    default:
      meanBlocksSse2(out, rows, factor, blocks);
      return;
  }
  if (blocks % 2 == 0) return;
  const std::uint8_t* last[16];
  for (int r = 0; r < factor; ++r) last[r] = rows[r] + std::size_t(blocks - 1) * factor * 4;
  meanBlocksSse2(out + 4 * (blocks - 1), last, factor, 1);
}

// Four pixels a step, so for a factor that is a multiple of four; SSE2 takes the others.
QUILLMERE_AVX2 void interpolateAvx2(std::uint16_t* out, const std::uint16_t* samples, int intervals,
                                    int factor, const std::uint16_t* weights) {
  if (factor % 4 != 0 || factor > kMaxInterpolationFactor) {
    interpolateSse2(out, samples, intervals, factor, weights);
    return;
  }
  __m256i first[kMaxInterpolationFactor / 4];
  __m256i second[kMaxInterpolationFactor / 4];
  for (int p = 0; p < factor; p += 4) {
    const auto* w = reinterpret_cast<const __m256i*>(weights + 8 * p);
    const __m256i one = _mm256_loadu_si256(w);      // pixels p and p + 1
    const __m256i two = _mm256_loadu_si256(w + 1);  // pixels p + 2 and p + 3
    first[p / 4] = _mm256_permute4x64_epi64(_mm256_unpacklo_epi64(one, two), 0xd8);
    second[p / 4] = _mm256_permute4x64_epi64(_mm256_unpackhi_epi64(one, two), 0xd8);
  }
  for (int j = 0; j < intervals; ++j) {
    const std::uint16_t* pair = samples + 4 * j;
    const __m256i a =
        _mm256_broadcastq_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pair)));
    const __m256i b =
        _mm256_broadcastq_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pair + 4)));
    for (int p = 0; p < factor / 4; ++p) {
      const __m256i value =
          _mm256_add_epi16(_mm256_mulhi_epu16(a, first[p]), _mm256_mulhi_epu16(b, second[p]));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), value);
      out += 16;
    }
  }
}

#undef QUILLMERE_AVX2

constexpr RowKernels kAvx2{"avx2",        blendAvx2,      blendConstantAvx2,
                           blendLerpAvx2, meanBlocksAvx2, interpolateAvx2};

}  // namespace

const RowKernels* sse2RowKernels() {
  return &kSse2;
}

const RowKernels* avx2RowKernels() {
  return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
}

}  // namespace platform::render

#else

namespace platform::render {

const RowKernels* sse2RowKernels() {
  return nullptr;
}
const RowKernels* avx2RowKernels() {
  return nullptr;
}

}  // namespace platform::render

#endif
