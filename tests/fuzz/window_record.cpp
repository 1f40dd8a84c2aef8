// A window-list entry's values, of any kind under any key, read with their defaults.
#include <bit>

#include "overlay/window_record.h"
#include "tests/fuzz/fuzz_input.h"

FUZZ_ENTRY {
  FuzzedDataProvider input(data, size);
  platform::WindowInfo info;
  while (input.remaining_bytes() > 0) {
    std::string key{input.PickValueInArray({platform::kWindowOwnerPidKey, platform::kWindowLayerKey,
                                            platform::kWindowNumberKey, platform::kWindowAlphaKey,
                                            std::string_view("windowName")})};
    const auto bits = input.ConsumeIntegral<std::uint64_t>();
    switch (input.ConsumeIntegralInRange(0, 2)) {
      case 0:
        info[key] = std::bit_cast<std::int64_t>(bits);
        break;
      case 1:
        info[key] = std::bit_cast<double>(bits);
        break;
      default:
        info[key] = input.ConsumeRandomLengthString(16);
    }
  }
  quillmere::readWindowRecord(info);
  return 0;
}
