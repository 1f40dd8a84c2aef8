#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/workspace.h"

namespace platform::wayland {

// Where the window list, the frontmost application and the news of their changes come from:
// sway's IPC, or a script inside KWin. Reading costs no request: a source keeps a cache that
// the compositor's own messages keep current.
class WindowSource {
 public:
  virtual ~WindowSource() = default;

  // Null until the compositor has told.
  virtual std::shared_ptr<const WindowInfoList> windowList() const = 0;
  // None until the compositor has told; -1 when no window has the focus.
  virtual std::optional<ProcessId> frontmostPid() const = 0;
  // The name of the output with the compositor's focus, or empty.
  virtual std::string focusedOutput() const = 0;
  // Requests made since the start: the figure for "a quiet desktop costs nothing".
  virtual std::uint64_t requestsSent() const = 0;
  // Called for every change after which the desktop may show something else.
  virtual void setExposureObserver(std::function<void()> observer) = 0;
  // While `wanted` answers true, the source looks for changes that the compositor announces by
  // no message of its own (a window dragged about); where every change is announced, nothing.
  virtual void watchLayout(std::function<bool()> /*wanted*/) {}
  // The event loop has ended: leave nothing behind in the compositor.
  virtual void finish() {}
};

}  // namespace platform::wayland
