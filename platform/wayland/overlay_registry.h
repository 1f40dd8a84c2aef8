#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/workspace.h"

namespace platform::wayland {

class OverlayWindowPeer;

// The overlays that exist, for the window list: every peer enters at birth and leaves at death.
// The backend and each peer share it, so it outlives whichever goes first. The generation
// counts every change that the list shows, so that an unchanged list need not be rebuilt.
class OverlayRegistry final {
 public:
  void add(OverlayWindowPeer* peer);
  void remove(OverlayWindowPeer* peer);
  // Something the window list shows of an overlay changed.
  void touch() { ++generation_; }
  std::uint64_t generation() const { return generation_; }

  // The overlays on screen, in the order they were made, as window list records of `ownPid`.
  void appendRecords(WindowInfoList& list, ProcessId ownPid) const;

 private:
  std::vector<OverlayWindowPeer*> peers_;
  std::uint64_t generation_ = 0;
};

}  // namespace platform::wayland
