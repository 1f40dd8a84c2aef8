#include "platform/wayland/capture_frame.h"

#include <wayland-client-protocol.h>

#include <cstdint>
#include <cstring>

namespace platform::wayland {

namespace {
// Rows padded to at most the widest frame's length; wl_shm takes a pool's size as a 32-bit
// signed integer, which the largest frame then still fits.
constexpr std::uint32_t kMaxCaptureStride = kMaxCaptureSide * 4;
static_assert(std::uint64_t{kMaxCaptureStride} * kMaxCaptureSide <= std::uint64_t{INT32_MAX});
}  // namespace

std::optional<FrameLayout> readableFrameLayout(std::uint32_t format, std::uint32_t width,
                                               std::uint32_t height, std::uint32_t stride) {
  if (format != WL_SHM_FORMAT_XRGB8888 && format != WL_SHM_FORMAT_ARGB8888) return std::nullopt;
  if (width == 0 || height == 0 || width > kMaxCaptureSide || height > kMaxCaptureSide) {
    return std::nullopt;
  }
  if (std::uint64_t{stride} < std::uint64_t{width} * 4 || stride > kMaxCaptureStride) {
    return std::nullopt;
  }
  return FrameLayout{format, width, height, stride};
}

void copyFramePixels(const void* frame, const FrameLayout& layout, bool yInverted,
                     std::uint8_t* into, std::size_t rowBytes) {
  const auto* source = static_cast<const std::uint8_t*>(frame);
  for (std::uint32_t y = 0; y < layout.height; ++y) {
    const std::uint32_t sourceRow = yInverted ? layout.height - 1 - y : y;
    const std::uint8_t* from = source + std::size_t(sourceRow) * layout.stride;
    std::uint8_t* to = into + std::size_t(y) * rowBytes;
    for (std::uint32_t x = 0; x < layout.width; ++x) {
      std::uint32_t pixel;
      std::memcpy(&pixel, from + std::size_t(x) * 4, 4);
      pixel |= 0xff000000u;
      std::memcpy(to + std::size_t(x) * 4, &pixel, 4);
    }
  }
}

}  // namespace platform::wayland
