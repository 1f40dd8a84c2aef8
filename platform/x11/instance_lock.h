#pragma once

#include <xcb/xcb.h>

#include <string>

namespace platform::x11 {

// The name of the selection that the running instance owns on the given screen.
std::string instanceSelectionName(int screenNumber);

// Makes sure one Quillmere runs per display: the first owns the X selection
// _QUILLMERE_S<screen> for as long as it lives, on a connection of its own opened before Qt's.
class InstanceLock final {
 public:
  enum class Result { acquired, alreadyRunning, displayUnreachable };

  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Connects to the display in $DISPLAY and takes the selection if nobody holds it.
  Result acquire();

  // Once acquired: the lock's own connection and the window that owns the selection, where
  // requests to the running instance arrive.
  xcb_connection_t* connection() const { return connection_; }
  xcb_window_t ownerWindow() const { return owner_; }

 private:
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t owner_ = XCB_WINDOW_NONE;
};

}  // namespace platform::x11
