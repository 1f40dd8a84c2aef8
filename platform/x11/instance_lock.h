#pragma once

#include <xcb/xcb.h>

namespace platform::x11 {

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

 private:
  xcb_connection_t* connection_ = nullptr;
};

}  // namespace platform::x11
