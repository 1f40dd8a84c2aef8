#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/workspace.h"

namespace platform::wayland {

// One window of sway's tree that is on screen now.
struct SwayView {
  std::int64_t id = 0;           // sway's container id: stable for the window's life
  std::optional<ProcessId> pid;  // absent when sway gives none we can use
};

// What the window list and the frontmost application are read from.
struct SwayTreeSnapshot {
  // Visible windows, front to back: the most recently focused first.
  std::vector<SwayView> views;
  // The owner of the focused window, or -1 (the desktop) when no window has the focus.
  ProcessId frontmostPid = -1;
  // The name of the output that holds the focus (a window or an empty workspace), or empty.
  std::string focusedOutput;
  // Tells apart layouts where a visible window is elsewhere, of another size or stacked
  // otherwise: sway announces no window's move or resize by the pointer.
  std::uint64_t layoutDigest = 0;
};

// Reads the reply to GET_TREE. Windows of `ownPid` are left out of the list (they still count
// for the focus). Nodes, ids and fields of the wrong kind are skipped; a view without a
// positive integer id, or with one seen before, is left out. None when the text is not a JSON
// object.
std::optional<SwayTreeSnapshot> parseSwayTree(std::string_view json, ProcessId ownPid);

// The window list records of the snapshot: every sway window stands at the normal level,
// floating and fullscreen ones too, since sway has no levels above it.
std::shared_ptr<const WindowInfoList> windowInfoListOf(const SwayTreeSnapshot& snapshot);

}  // namespace platform::wayland
