#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define FUZZ_ENTRY extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)

namespace fuzz {

// The input cut at each separator byte: several messages from one input.
inline std::vector<std::string> split(const std::uint8_t* data, std::size_t size, char separator) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (char(data[i]) == separator) {
      parts.emplace_back();
    } else {
      parts.back() += char(data[i]);
    }
  }
  return parts;
}

// The bytes in pieces of the sizes a socket might hand over, at most `limit` each.
inline std::vector<std::string> pieces(FuzzedDataProvider& input, std::size_t limit) {
  std::vector<std::string> out;
  while (input.remaining_bytes() > 0) {
    const auto length = input.ConsumeIntegralInRange<std::size_t>(1, limit);
    out.push_back(input.ConsumeBytesAsString(length));
  }
  return out;
}

}  // namespace fuzz
