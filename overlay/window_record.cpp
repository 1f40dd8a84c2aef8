#include "overlay/window_record.h"

#include <cmath>
#include <limits>
#include <optional>

namespace quillmere {

namespace {

// The value as an integer of type Int when it is one exactly; a fraction, a text or a number
// out of range is not.
template <typename Int>
std::optional<Int> exactInteger(const platform::WindowInfoValue& value) {
  constexpr auto kMin = std::numeric_limits<Int>::min();
  constexpr auto kMax = std::numeric_limits<Int>::max();
  if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    if (*integer < kMin || *integer > kMax) return std::nullopt;
    return static_cast<Int>(*integer);
  }
  if (const auto* real = std::get_if<double>(&value)) {
    // 2^63 and -2^63 bound the doubles that fit in 64 bits; kMax itself may not be a double.
    if (!std::isfinite(*real) || std::trunc(*real) != *real) return std::nullopt;
    if (*real < static_cast<double>(kMin) || *real >= -static_cast<double>(kMin)) {
      return std::nullopt;
    }
    auto integer = static_cast<std::int64_t>(*real);
    if (integer > kMax) return std::nullopt;
    return static_cast<Int>(integer);
  }
  return std::nullopt;
}

std::optional<double> exactDouble(const platform::WindowInfoValue& value) {
  if (const auto* real = std::get_if<double>(&value)) return *real;
  if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    auto converted = static_cast<double>(*integer);
    // Integers beyond 2^53 may round; 2^63 itself does not fit back into int64.
    if (converted >= 0x1p63 || static_cast<std::int64_t>(converted) != *integer) {
      return std::nullopt;
    }
    return converted;
  }
  return std::nullopt;
}

template <typename T, typename Read>
T readOr(const platform::WindowInfo& info, std::string_view key, T fallback, Read read) {
  auto found = info.find(key);
  if (found == info.end()) return fallback;
  return read(found->second).value_or(fallback);
}

}  // namespace

WindowRecord readWindowRecord(const platform::WindowInfo& info) {
  WindowRecord record;
  record.ownerPid =
      readOr(info, platform::kWindowOwnerPidKey, std::int32_t{0}, exactInteger<std::int32_t>);
  record.layer =
      readOr(info, platform::kWindowLayerKey, std::int32_t{0}, exactInteger<std::int32_t>);
  record.number =
      readOr(info, platform::kWindowNumberKey, std::int64_t{-1}, exactInteger<std::int64_t>);
  record.alpha = readOr(info, platform::kWindowAlphaKey, 1.0, exactDouble);
  return record;
}

}  // namespace quillmere
