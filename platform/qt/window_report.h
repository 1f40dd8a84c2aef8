#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/workspace.h"

namespace platform::qt {

// One window of the compositor's stacking order, as Quillmere's KWin script or GNOME Shell
// extension reports it (both send the same JSON).
struct ReportedWindow {
  std::string id;                     // the compositor's id of the window, stable for its life
  std::optional<ProcessId> pid;       // absent when the compositor gives none we can use
  std::optional<std::int64_t> layer;  // KWin's layer (0 desktop ... 10 unmanaged) or Mutter's
  double opacity = 1.0;               // 0.0 to 1.0
  bool keepAbove = false;
  bool shown = true;  // on the current desktop, neither minimised nor hidden
};

// The reporter's whole picture of the desktop at one moment.
struct WindowReport {
  std::vector<ReportedWindow> windows;  // front to back
  ProcessId activePid = -1;             // the owner of the active window, or -1
  std::optional<std::int64_t> desktop;
};

// A report larger than this is dropped unread; windows past this many are left out.
inline constexpr std::size_t kMaxWindowReportBytes = 256 * 1024;
inline constexpr std::size_t kMaxReportedWindows = 1024;
inline constexpr std::size_t kMaxReportedWindowIdBytes = 128;

// Reads one report. Windows without a usable id, or with one seen before in the report, are
// left out; fields of the wrong kind take their defaults. None when the text is too large or
// not a JSON object.
std::optional<WindowReport> parseWindowReport(std::string_view json);

// The window level that stands for a KWin or Mutter stack layer; the numbers both use mean the
// same (0 desktop, 1 below, 2 normal, 4 above, 7 pop-up or override-redirect, and Mutter uses
// no other). The desktop lies far below every window,
// "keep below" just below the normal level, docks and "keep above" windows above it, and
// notifications, pop-ups, on-screen displays and unmanaged windows above everything else. The
// active fullscreen window is an ordinary window raised for the moment: level 0.
std::int64_t levelOfStackLayer(std::int64_t layer);

}  // namespace platform::qt
