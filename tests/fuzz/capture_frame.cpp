// The compositor's description of a screencopy buffer, and the pixels it puts there.
#include "platform/wayland/capture_frame.h"
#include "tests/fuzz/fuzz_input.h"

using namespace platform::wayland;

FUZZ_ENTRY {
  FuzzedDataProvider input(data, size);
  const auto format = input.ConsumeIntegral<std::uint32_t>();
  const auto width = input.ConsumeIntegral<std::uint32_t>();
  const auto height = input.ConsumeIntegral<std::uint32_t>();
  const auto stride = input.ConsumeIntegral<std::uint32_t>();
  const bool yInverted = input.ConsumeBool();
  const auto layout = readableFrameLayout(format, width, height, stride);
  // Larger frames take the same path; only the fuzzer's memory is spared.
  if (!layout || layout->bytes() > (256u << 10)) return 0;
  std::vector<std::uint8_t> frame = input.ConsumeBytes<std::uint8_t>(layout->bytes());
  frame.resize(layout->bytes());
  std::vector<std::uint8_t> image(std::size_t(layout->width) * 4 * layout->height);
  copyFramePixels(frame.data(), *layout, yInverted, image.data(), std::size_t(layout->width) * 4);
  return 0;
}
