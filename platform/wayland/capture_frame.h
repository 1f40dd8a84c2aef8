#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace platform::wayland {

// Far beyond any output in use; a larger frame is taken for a fault of the compositor's.
inline constexpr std::uint32_t kMaxCaptureSide = 16384;

// A frame in shared memory, as the compositor describes the buffer it wants.
struct FrameLayout {
  std::uint32_t format = 0;  // a wl_shm format
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t stride = 0;  // bytes from one row to the next

  std::size_t bytes() const { return std::size_t(stride) * height; }
  bool operator==(const FrameLayout&) const = default;
};

// The layout when the compositor's description is one we can read: XRGB8888 or ARGB8888, sides
// from 1 to kMaxCaptureSide pixels, rows at least as long as their pixels and no longer than
// the widest frame's, so that the whole fits a shared-memory pool. Nothing otherwise.
std::optional<FrameLayout> readableFrameLayout(std::uint32_t format, std::uint32_t width,
                                               std::uint32_t height, std::uint32_t stride);

// Copies the frame's pixels into rows of 32-bit 0xffRRGGBB, `rowBytes` apart, top row first:
// the rows are read bottom up when the compositor says the frame is upside down. The alpha byte
// is set, since XRGB8888 leaves it undefined and an overlay shows no translucent desktop.
void copyFramePixels(const void* frame, const FrameLayout& layout, bool yInverted,
                     std::uint8_t* into, std::size_t rowBytes);

}  // namespace platform::wayland
