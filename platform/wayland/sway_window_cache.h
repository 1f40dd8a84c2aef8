#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/wayland/sway_ipc_framing.h"
#include "platform/wayland/sway_tree.h"
#include "platform/workspace.h"

namespace platform::wayland {

// What one event asks of the cache.
struct SwayEventEffect {
  bool refreshTree = false;   // the windows or their focus may have changed
  bool spaceChanged = false;  // another workspace took the focus
};

// Events whose change cannot touch the window list (a new title, a mark) ask for nothing;
// an event we cannot read asks for a fresh tree.
SwayEventEffect effectOfEvent(const sway_ipc::Message& event);

// The window list and the frontmost application as sway's events keep them current, without
// any I/O: it says which requests to write and which notifications to post. Reading the cache
// costs no request; only events do. One tree request at a time is in flight; events during it
// ask for one more tree afterwards, and notifications wait for the tree that follows the last
// event.
class SwayWindowCache final {
 public:
  explicit SwayWindowCache(ProcessId ownPid) : ownPid_(ownPid) {}

  struct Step {
    std::string send;                                  // framed requests to write now, in order
    std::vector<WorkspaceNotification> notifications;  // to post now, the cache updated
    // A window appeared, went, moved or changed its place in the stack, or another workspace
    // shows: what the desktop shows may have changed.
    bool exposureChanged = false;
  };

  // The subscription to window and workspace events, and the first tree.
  Step start();
  Step handle(const sway_ipc::Message& message);
  // Asks for the tree to see whether a window moved or was resized, which sway announces by no
  // event; nothing while a tree is on its way.
  Step checkLayout();
  // Forgets everything: the connection ended.
  void reset();

  // Null until the first tree arrives.
  std::shared_ptr<const WindowInfoList> windowList() const { return windows_; }
  // None until the first tree arrives; -1 when no window has the focus.
  std::optional<ProcessId> frontmostPid() const { return frontmost_; }
  // The name of the output with sway's focus, or empty.
  const std::string& focusedOutput() const { return focusedOutput_; }
  // Requests written since the start: the figure for "a quiet desktop costs nothing".
  std::uint64_t requestsSent() const { return requestsSent_; }

 private:
  std::string requestTree();
  Step treeArrived(const std::string& payload);

  ProcessId ownPid_;
  bool treeInFlight_ = false;
  bool treeStale_ = false;
  bool spaceChanged_ = false;
  std::shared_ptr<const WindowInfoList> windows_;
  std::optional<ProcessId> frontmost_;
  std::string focusedOutput_;
  std::optional<std::uint64_t> layoutDigest_;
  std::optional<ProcessId> announcedFrontmost_;  // as the last activation posted it
  std::uint64_t requestsSent_ = 0;
};

}  // namespace platform::wayland
