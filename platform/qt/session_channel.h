#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform::qt {

// Where one Wayland session's Quillmere keeps its lock and listens for --toggle: files in
// $XDG_RUNTIME_DIR named after $WAYLAND_DISPLAY, so that each session has its own.
struct SessionPaths {
  std::string lock;
  std::string socket;
};

// The paths for a runtime directory and a display name; nothing when the directory is not
// absolute, the display is empty, or the socket's path would not fit a Unix socket address.
// Characters of the display other than letters, digits, '.', '-' and '_' become '_'.
std::optional<SessionPaths> sessionPaths(std::string_view runtimeDir,
                                         std::string_view waylandDisplay);

// The one request a client may send and the one answer it gets once the toggle was delivered.
inline constexpr std::string_view kToggleRequest = "toggle\n";
inline constexpr std::string_view kToggleAnswer = "toggled\n";
// No reader ever takes more than this from the other side.
inline constexpr std::size_t kMaxMessageBytes = 16;

// How far the bytes received so far match the one expected message: a prefix of it, all of
// it, or anything else (to be refused at once).
enum class MessageState { incomplete, complete, refused };
MessageState matchMessage(std::string_view received, std::string_view expected);

}  // namespace platform::qt
