#pragma once

#include <xcb/xcb.h>

#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/x11/atoms.h"
#include "platform/x11/window_stack.h"

namespace platform::x11 {

// What the restacking and the window list need to know of one of our own overlays.
struct OverlayState {
  std::int64_t level = 0;
  double alpha = 1.0;
  bool onScreen = false;
};

// Keeps our overlays where their levels want them in the X stack: directly below the lowest
// counted window whose layer is above the level, at most once per interval per overlay while
// the level stays the same, so that a window manager that moves windows about is not fought.
// The overlays are created on the window server's connection, and so are its requests.
class OverlayRestacker final {
 public:
  // `restackDue` brings the stack up to date and calls restack() again once a held-back
  // restack may go.
  OverlayRestacker(xcb_connection_t* connection, xcb_window_t root, const Atoms& atoms,
                   std::function<void()> restackDue);
  OverlayRestacker(const OverlayRestacker&) = delete;
  OverlayRestacker& operator=(const OverlayRestacker&) = delete;

  // A managed overlay is one the window manager frames and places (see restackManaged).
  // With sibling restacks the window manager is asked to put it directly below the reference,
  // as a pager asks; without, only to the top or the bottom of its layer.
  void setSiblingRestacks(bool siblingRestacks) { siblingRestacks_ = siblingRestacks; }
  void add(xcb_window_t window, std::function<OverlayState()> state, bool managed);
  void remove(xcb_window_t window);
  bool empty() const { return overlays_.empty(); }
  bool contains(xcb_window_t window) const { return overlays_.contains(window); }
  // The overlay's state now, or nothing for a window that is not one of ours.
  std::optional<OverlayState> stateOf(xcb_window_t window) const;

  // Another window moved in the stack, so the window manager may have moved the managed
  // overlays with it: they are asked again.
  void otherWindowRestacked();
  // Moves every overlay that stands out of its place in `bottomToTop`, the stack as the
  // server last told it, where a managed overlay's frame stands as the overlay itself;
  // `serverTime` is the latest server time seen.
  void restack(const std::vector<StackEntry>& bottomToTop, xcb_timestamp_t serverTime);

  // How often an overlay was found out of its place and a restack asked for, whether sent at
  // once or held back for the interval (for tests and benchmarks).
  std::uint64_t restacksAsked() const { return restacksAsked_; }

 private:
  struct Overlay {
    std::function<OverlayState()> state;
    std::chrono::steady_clock::time_point lastRestack{};
    std::optional<std::int64_t> restackedLevel;
    bool managed = false;
    // What the window manager was last asked for, so that it is asked once per change.
    std::optional<std::pair<std::int64_t, std::optional<xcb_window_t>>> requested;
    int band = -1;  // -1 below normal windows, 0 among them, 1 above them
  };

  void restackOne(xcb_window_t window, Overlay& overlay, const std::vector<StackEntry>& bottomToTop,
                  xcb_timestamp_t serverTime);
  void restackManaged(xcb_window_t window, Overlay& overlay, std::int64_t level,
                      const StackEntry* reference, xcb_timestamp_t serverTime);
  void sendToWindowManager(xcb_window_t window, xcb_atom_t type,
                           const std::array<std::uint32_t, 5>& data);

  xcb_connection_t* connection_;
  xcb_window_t root_;
  Atoms atoms_;
  QTimer timer_;
  std::unordered_map<xcb_window_t, Overlay> overlays_;
  std::uint64_t restacksAsked_ = 0;
  bool siblingRestacks_ = false;
};

}  // namespace platform::x11
