#include "platform/render/materials.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/render/row_kernels.h"
#include "platform/render/vector_clones.h"

namespace platform::render {

namespace {

// Rec. 709 luma weights in BGR order: saturation turns about the pixel's luma.
constexpr double kLumaBlue = 0.0722;
constexpr double kLumaGreen = 0.7152;
constexpr double kLumaRed = 0.2126;

double unit(double value) {
  return value > 0.0 ? std::min(value, 1.0) : 0.0;
}

struct Tint {
  float keep;    // what remains of the colour under the tint
  float add[4];  // the tint's premultiplied levels, BGRA
  float saturation;
};

Tint tintOf(const MaterialLook& look) {
  const double alpha = unit(look.tint.alpha);
  return {
      float(1.0 - alpha),
      {float(255.0 * alpha * unit(look.tint.blue)), float(255.0 * alpha * unit(look.tint.green)),
       float(255.0 * alpha * unit(look.tint.red)), float(255.0 * alpha)},
      float(look.saturation)};
}

// The material on one colour, as it reads; the rows below do the same as a colour matrix.
template <typename T>
void applyTint(T* c, const Tint& tint) {
  const T luma = T(kLumaBlue) * c[0] + T(kLumaGreen) * c[1] + T(kLumaRed) * c[2];
  for (int i = 0; i < 3; ++i) {
    const T saturated = luma + T(tint.saturation) * (c[i] - luma);
    c[i] = std::clamp(saturated, T(0), c[3]) * T(tint.keep) + T(tint.add[i]);
  }
  c[3] = c[3] * T(tint.keep) + T(tint.add[3]);
}

}  // namespace

const MaterialLook& materialLook(VisualEffectMaterial material) {
  return material == VisualEffectMaterial::hudWindow ? kHudWindowLook : kUnderWindowBackgroundLook;
}

Levels applyMaterial(const Levels& color, const MaterialLook& look) {
  Levels result = color;
  applyTint(result.data(), tintOf(look));
  return result;
}

namespace {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = std::int32_t __attribute__((vector_size(16)));

// The material as a colour matrix (saturation), a clamp into [0, alpha], then a gain and an
// offset per channel.
struct Transform {
  Float4 columns[4];
  Float4 gain;
  Float4 offset;
};

Transform transformOf(const MaterialLook& look, float scale, const Float4& offset) {
  const Tint tint = tintOf(look);
  const float s = tint.saturation;
  const float luma[3] = {float(kLumaBlue), float(kLumaGreen), float(kLumaRed)};
  Transform t;
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < 3; ++i) t.columns[k][i] = (i == k ? s : 0.0f) + (1.0f - s) * luma[k];
    t.columns[k][3] = 0.0f;
  }
  t.columns[3] = Float4{0.0f, 0.0f, 0.0f, 1.0f};
  const Float4 add = {tint.add[0], tint.add[1], tint.add[2], tint.add[3]};
  t.gain = Float4{tint.keep, tint.keep, tint.keep, tint.keep} * scale;
  t.offset = add * scale + offset;
  return t;
}

__attribute__((always_inline)) inline Float4 transformed(const float* pixel, const Transform& t) {
  Float4 c;
  std::memcpy(&c, pixel, sizeof c);
  const Float4 alpha = __builtin_shufflevector(c, c, 3, 3, 3, 3);
  Float4 v = __builtin_shufflevector(c, c, 0, 0, 0, 0) * t.columns[0] +
             __builtin_shufflevector(c, c, 1, 1, 1, 1) * t.columns[1] +
             __builtin_shufflevector(c, c, 2, 2, 2, 2) * t.columns[2] + alpha * t.columns[3];
  const Float4 zero = {0.0f, 0.0f, 0.0f, 0.0f};
  v = v < zero ? zero : v;
  v = v > alpha ? alpha : v;
  return v * t.gain + t.offset;
}

using Float8 = float __attribute__((vector_size(32)));
using Int8 = std::int32_t __attribute__((vector_size(32)));

struct Transform8 {
  Float8 columns[4];
  Float8 gain;
  Float8 offset;
};

// The same transform for two pixels side by side (built in place: AVX values are not passed
// by value between functions built for different processors).
void widen(const Transform& t, Transform8& out) {
  auto twice = [](const Float4& v, Float8& wide) {
    std::memcpy(&wide, &v, sizeof v);
    std::memcpy(reinterpret_cast<char*>(&wide) + sizeof v, &v, sizeof v);
  };
  for (int k = 0; k < 4; ++k) twice(t.columns[k], out.columns[k]);
  twice(t.gain, out.gain);
  twice(t.offset, out.offset);
}

__attribute__((always_inline)) inline void transformPair(const float* pixels, const Transform8& t,
                                                         Float8& out) {
  Float8 c;
  std::memcpy(&c, pixels, sizeof c);
  const Float8 alpha = __builtin_shufflevector(c, c, 3, 3, 3, 3, 7, 7, 7, 7);
  Float8 v = __builtin_shufflevector(c, c, 0, 0, 0, 0, 4, 4, 4, 4) * t.columns[0] +
             __builtin_shufflevector(c, c, 1, 1, 1, 1, 5, 5, 5, 5) * t.columns[1] +
             __builtin_shufflevector(c, c, 2, 2, 2, 2, 6, 6, 6, 6) * t.columns[2] +
             alpha * t.columns[3];
  const Float8 zero{};
  v = v < zero ? zero : v;
  v = v > alpha ? alpha : v;
  out = v * t.gain + t.offset;
}

}  // namespace

QUILLMERE_VECTOR_CLONES void applyMaterial(float* pixels, std::size_t count,
                                           const MaterialLook& look) {
  const Transform t = transformOf(look, 1.0f, Float4{0.0f, 0.0f, 0.0f, 0.0f});
  for (std::size_t p = 0; p < count; ++p) {
    const Float4 result = transformed(pixels + 4 * p, t);
    std::memcpy(pixels + 4 * p, &result, sizeof result);
  }
}

QUILLMERE_VECTOR_CLONES void applyMaterialAsAdd(const float* pixels, std::size_t count,
                                                const MaterialLook& look, double weight,
                                                const Levels& add, std::uint16_t* out) {
  // Levels to add values: times 2^7, and half a level to round. The results stay within
  // kMaxAdd, as weight and add together never exceed one pixel.
  constexpr float kOne = 1 << kAddFractionBits;
  const Float4 offset = {float(add[0]) * kOne + kOne / 2, float(add[1]) * kOne + kOne / 2,
                         float(add[2]) * kOne + kOne / 2, float(add[3]) * kOne + kOne / 2};
  const Transform t = transformOf(look, float(weight) * kOne, offset);
  const Float4 high = Float4{0.0f, 0.0f, 0.0f, 0.0f} + float(kMaxAdd);
  auto convert = [&](std::size_t p) {
    const Float4 value = transformed(pixels + 4 * p, t);
    return __builtin_convertvector(value > high ? high : value, Int4);
  };
  std::size_t p = 0;
#if defined(__SSE2__)
  // Two pixels a step, which AVX2 takes in one register. Compilers do not find the
  // 32-to-16-bit pack by themselves; the values fit it signed.
  Transform8 t8;
  widen(t, t8);
  const Float8 high8 = Float8{} + float(kMaxAdd);
  for (; p + 2 <= count; p += 2) {
    Float8 value;
    transformPair(pixels + 4 * p, t8, value);
    const Int8 rounded = __builtin_convertvector(value > high8 ? high8 : value, Int8);
    const Int4 first = __builtin_shufflevector(rounded, rounded, 0, 1, 2, 3);
    const Int4 second = __builtin_shufflevector(rounded, rounded, 4, 5, 6, 7);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * p),
                     _mm_packs_epi32(__m128i(first), __m128i(second)));
  }
#endif
  for (; p < count; ++p) {
    const Int4 value = convert(p);
    for (int c = 0; c < 4; ++c) out[4 * p + std::size_t(c)] = std::uint16_t(value[c]);
  }
}

Levels premultipliedLevels(const Color& color) {
  const double alpha = unit(color.alpha);
  return {255.0 * alpha * unit(color.blue), 255.0 * alpha * unit(color.green),
          255.0 * alpha * unit(color.red), 255.0 * alpha};
}

}  // namespace platform::render
