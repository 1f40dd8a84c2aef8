#pragma once

#include <xcb/xcb.h>

#include <QRect>
#include <string>
#include <utility>
#include <vector>

namespace quillmere::test {

// The top-level windows of other clients on the private display, read on a connection of the
// test's own.
class TopLevelWindows final {
 public:
  explicit TopLevelWindows(const std::string& displayName);
  ~TopLevelWindows();
  TopLevelWindows(const TopLevelWindows&) = delete;
  TopLevelWindows& operator=(const TopLevelWindows&) = delete;

  bool windowManagerRunning();
  // Asks for the window to be mapped once more: a window manager that was still starting
  // may have let the first request go.
  void mapAgain(xcb_window_t window);
  // The viewable override-redirect children of the root, with their rectangles.
  std::vector<std::pair<xcb_window_t, QRect>> unmanaged();

 private:
  xcb_connection_t* c_;
  xcb_window_t root_ = XCB_NONE;
};

}  // namespace quillmere::test
