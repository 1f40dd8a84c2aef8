#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/workspace.h"

namespace platform::wayland {

// One window of KWin's stacking order, as Quillmere's KWin script reports it.
struct KWinWindow {
  std::string id;                     // KWin's own id of the window: stable for the window's life
  std::optional<ProcessId> pid;       // absent when KWin gives none we can use
  std::optional<std::int64_t> layer;  // KWin's layer (0 desktop ... 10 unmanaged)
  double opacity = 1.0;               // 0.0 to 1.0
  bool keepAbove = false;
  bool shown = true;  // on the current desktop, neither minimised nor hidden
};

// The script's whole picture of the desktop at one moment.
struct KWinReport {
  std::vector<KWinWindow> windows;  // front to back
  ProcessId activePid = -1;         // the owner of the active window, or -1
  std::optional<std::int64_t> desktop;
};

// A report larger than this is dropped unread; windows past this many are left out.
inline constexpr std::size_t kMaxKWinReportBytes = 256 * 1024;
inline constexpr std::size_t kMaxKWinWindows = 1024;
inline constexpr std::size_t kMaxKWinWindowIdBytes = 128;

// Reads one report. Windows without a usable id, or with one seen before in the report, are
// left out; fields of the wrong kind take their defaults. None when the text is too large or
// not a JSON object.
std::optional<KWinReport> parseKWinReport(std::string_view json);

// The window level that stands for a KWin layer: the desktop lies far below every window,
// "keep below" just below the normal level, docks and "keep above" windows above it, and
// notifications, pop-ups, on-screen displays and unmanaged windows above everything else. The
// active fullscreen window is an ordinary window raised for the moment: level 0.
std::int64_t levelOfKWinLayer(std::int64_t layer);

}  // namespace platform::wayland
