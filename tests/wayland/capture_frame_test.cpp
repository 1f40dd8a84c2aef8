#include "platform/wayland/capture_frame.h"

#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include <climits>
#include <cstring>
#include <vector>

namespace platform::wayland {
namespace {

constexpr std::uint32_t kXrgb = WL_SHM_FORMAT_XRGB8888;
constexpr std::uint32_t kArgb = WL_SHM_FORMAT_ARGB8888;

// The compositor's description of the buffer is hostile input.
TEST(CaptureFrame, OnlyAReadableLayoutIsAccepted) {
  struct Case {
    const char* name;
    std::uint32_t format, width, height, stride;
    bool accepted;
  };
  const Case cases[] = {
      {"with alpha", kArgb, 640, 480, 2560, true},
      {"padded rows", kXrgb, 10, 10, 64, true},
      {"16-bit pixels", WL_SHM_FORMAT_RGB565, 640, 480, 1280, false},
      {"ABGR", WL_SHM_FORMAT_ABGR8888, 640, 480, 2560, false},
      {"no width", kXrgb, 0, 480, 2560, false},
      {"no height", kXrgb, 640, 0, 2560, false},
      {"rows shorter than their pixels", kXrgb, 640, 480, 2559, false},
      {"a side too large", kXrgb, kMaxCaptureSide + 1, 1, (kMaxCaptureSide + 1) * 4, false},
      {"width * 4 wraps in 32 bits", kXrgb, 0x40000001u, 1, 4, false},
      {"the largest frame", kXrgb, kMaxCaptureSide, kMaxCaptureSide, kMaxCaptureSide * 4, true},
      {"the longest padding", kXrgb, 1, 2, kMaxCaptureSide * 4, true},
      {"padding beyond the widest row", kXrgb, 1, 2, kMaxCaptureSide * 4 + 1, false},
      {"a stride beyond a pool", kXrgb, 1, 2, 0x80000000u, false},
  };
  for (const Case& c : cases) {
    const auto layout = readableFrameLayout(c.format, c.width, c.height, c.stride);
    EXPECT_EQ(layout.has_value(), c.accepted) << c.name;
    if (layout) {
      EXPECT_EQ(layout->bytes(), std::size_t(c.stride) * c.height) << c.name;
      EXPECT_LE(layout->bytes(), std::size_t{INT32_MAX}) << c.name;
    }
  }
}

TEST(CaptureFrame, PixelsComeTopRowFirstOpaqueAndWithoutPadding) {
  // A 3x2 frame whose rows are padded to 16 bytes, its alpha bytes left at 0.
  std::vector<std::uint8_t> frame(32, 0xee);  // padding
  for (std::uint32_t y = 0; y < 2; ++y) {
    for (std::uint32_t x = 0; x < 3; ++x) {
      const std::uint32_t pixel = 0x00010203u * (x + 1) + 0x00100000u * y;
      std::memcpy(frame.data() + y * 16 + x * 4, &pixel, 4);
    }
  }
  const FrameLayout layout{kXrgb, 3, 2, 16};
  const std::uint32_t top[] = {0xff010203u, 0xff020406u, 0xff030609u};
  const std::uint32_t bottom[] = {0xff110203u, 0xff120406u, 0xff130609u};
  for (const bool inverted : {false, true}) {
    std::vector<std::uint32_t> image(2 * 4, 0);  // rows of 4 pixels: the last stays untouched
    copyFramePixels(frame.data(), layout, inverted, reinterpret_cast<std::uint8_t*>(image.data()),
                    16);
    const std::uint32_t* first = inverted ? bottom : top;
    const std::uint32_t* second = inverted ? top : bottom;
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(image[x], first[x]) << "inverted " << inverted << " x " << x;
      EXPECT_EQ(image[4 + x], second[x]) << "inverted " << inverted << " x " << x;
    }
    EXPECT_EQ(image[3], 0u) << "nothing written past the row";
    EXPECT_EQ(image[7], 0u) << "nothing written past the row";
  }
}

}  // namespace
}  // namespace platform::wayland
