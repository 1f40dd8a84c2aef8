#pragma once

#include <cstdint>

namespace platform::qt {

// The levels that every backend maps its compositor's or window manager's layers onto, so that
// the core compares windows of any desktop alike: EWMH's layers, and KWin's the same way.
inline constexpr std::int32_t kDesktopLayer = -1000;
inline constexpr std::int32_t kBelowLayer = -1;
inline constexpr std::int32_t kNormalLayer = 0;
inline constexpr std::int32_t kFloatingLayer = 3;
inline constexpr std::int32_t kDockLayer = 20;
inline constexpr std::int32_t kPopUpMenuLayer = 101;

}  // namespace platform::qt
