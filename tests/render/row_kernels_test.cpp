// Every processor-specific kernel gives the portable kernel's bytes, and the portable kernel
// rounds as it should.
#include "platform/render/row_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

namespace platform::render {

// Test output names the kernel variant, not its address.
void PrintTo(const RowKernels* kernels, std::ostream* out) {
  *out << kernels->name;
}

namespace {

constexpr int kLengths[] = {1, 3, 4, 7, 8, 9, 15, 16, 17, 33, 101};

std::vector<std::uint8_t> randomBytes(std::size_t count, std::mt19937& random) {
  std::vector<std::uint8_t> bytes(count);
  for (auto& byte : bytes) byte = std::uint8_t(random());
  return bytes;
}

// Add values as the renderer makes them: at most kMaxAdd, and with the scaled input never
// above a full pixel.
std::vector<std::uint16_t> randomAdds(std::size_t count, std::mt19937& random) {
  std::vector<std::uint16_t> adds(count);
  for (auto& add : adds) add = std::uint16_t(random() % (kMaxAdd + 1));
  return adds;
}

class RowKernelVariants : public ::testing::TestWithParam<const RowKernels*> {};

// Every kernel on random rows of many lengths, with and without an input row and an opaque
// mask, against the portable kernel.
TEST_P(RowKernelVariants, GiveThePortableKernelsResults) {
  const RowKernels& kernels = *GetParam();
  const RowKernels& portable = portableRowKernels();
  std::mt19937 random(1);
  for (int n : kLengths) {
    for (std::uint32_t mask : {0u, kOpaqueMask}) {
      const auto in = randomBytes(std::size_t(n) * 4, random);
      const auto add0 = randomAdds(std::size_t(n) * 4, random);
      const auto add1 = randomAdds(std::size_t(n) * 4, random);
      const auto scale = std::uint16_t(random() % (kUnitScale + 1));
      const auto weight1 = std::uint16_t(random());
      const auto weight0 = std::uint16_t(std::min<std::uint32_t>(kUnitWeight - weight1, 0xffff));
      for (const std::uint8_t* input : {in.data(), static_cast<const std::uint8_t*>(nullptr)}) {
        std::vector<std::uint8_t> expected(in.size()), actual(in.size());
        const auto run = [&](const RowKernels& k, std::uint8_t* out, int variant) {
          if (variant == 0) k.blend(out, input, n, scale, add0.data(), mask);
          if (variant == 1) k.blendConstant(out, input, n, scale, add0.data(), mask);
          if (variant == 2)
            k.blendLerp(out, input, n, scale, add0.data(), add1.data(), weight0, weight1, mask);
        };
        for (int variant = 0; variant < 3; ++variant) {
          run(portable, expected.data(), variant);
          run(kernels, actual.data(), variant);
          EXPECT_EQ(actual, expected) << "blend variant " << variant << " of " << n;
        }
      }
    }
  }
  for (int factor = 1; factor <= 16; ++factor) {
    for (int blocks : {1, 2, 3, 8}) {
      std::vector<std::vector<std::uint8_t>> rows;
      std::vector<const std::uint8_t*> pointers;
      for (int r = 0; r < factor; ++r) {
        rows.push_back(randomBytes(std::size_t(blocks) * factor * 4, random));
        // The full range, so that a sum that overflows 16 bits would show.
        if (r == 0) std::fill(rows.back().begin(), rows.back().end(), 255);
      }
      for (const auto& row : rows) pointers.push_back(row.data());
      std::vector<float> expected(std::size_t(blocks) * 4), actual(expected.size());
      portable.meanBlocks(expected.data(), pointers.data(), factor, blocks);
      kernels.meanBlocks(actual.data(), pointers.data(), factor, blocks);
      for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-3) << "meanBlocks by " << factor << " at " << i;
      }
    }
    const int intervals = 5;
    const auto samples = randomAdds(std::size_t(intervals + 1) * 4, random);
    std::vector<std::uint16_t> weights(std::size_t(factor) * 8);
    for (int p = 0; p < factor; ++p) {
      const auto second = std::uint16_t(random());
      for (int c = 0; c < 4; ++c) {
        weights[std::size_t(8 * p + c)] =
            std::uint16_t(std::min<std::uint32_t>(kUnitWeight - second, 0xffff));
        weights[std::size_t(8 * p + 4 + c)] = second;
      }
    }
    std::vector<std::uint16_t> expected(std::size_t(intervals) * factor * 4),
        actual(expected.size());
    portable.interpolate(expected.data(), samples.data(), intervals, factor, weights.data());
    kernels.interpolate(actual.data(), samples.data(), intervals, factor, weights.data());
    EXPECT_EQ(actual, expected) << "interpolate by " << factor;
  }
}

INSTANTIATE_TEST_SUITE_P(Supported, RowKernelVariants,
                         ::testing::ValuesIn(supportedRowKernels().begin(),
                                             supportedRowKernels().end()),
                         [](const auto& info) { return std::string(info.param->name); });

// in * scale + add, within half a level (and the fixed point's step) of the exact value.
TEST(PortableRowKernels, BlendRoundsToTheNearestLevel) {
  struct Case {
    int in;
    double keep;
    double level;
  };
  const Case cases[] = {
      {255, 0.37, 0.0}, {0, 0.5, 200.4}, {128, 0.5, 63.6}, {255, 0.0, 255.0}, {200, 0.25, 149.5}};
  for (const Case& c : cases) {
    const std::uint8_t in[4] = {std::uint8_t(c.in), 0, 0, 0};
    const std::uint16_t add[4] = {toAdd(c.level), 0, 0, 0};
    std::uint8_t out[4];
    portableRowKernels().blend(out, in, 1, toScale(c.keep), add, 0);
    const double exact = c.in * c.keep + c.level;
    EXPECT_LE(std::abs(out[0] - exact), 0.51 + 1.0 / 64)
        << c.in << " * " << c.keep << " + " << c.level;
  }
}

}  // namespace
}  // namespace platform::render
