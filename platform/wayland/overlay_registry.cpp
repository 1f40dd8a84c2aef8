#include "platform/wayland/overlay_registry.h"

#include <algorithm>

#include "platform/wayland/overlay_window_peer.h"

namespace platform::wayland {

void OverlayRegistry::add(OverlayWindowPeer* peer) {
  peers_.push_back(peer);
  touch();
}

void OverlayRegistry::remove(OverlayWindowPeer* peer) {
  peers_.erase(std::remove(peers_.begin(), peers_.end(), peer), peers_.end());
  touch();
}

void OverlayRegistry::appendRecords(WindowInfoList& list, ProcessId ownPid) const {
  for (const OverlayWindowPeer* peer : peers_) {
    if (!peer->isOnScreen()) continue;
    WindowInfo info;
    info.emplace(kWindowNumberKey, peer->number());
    info.emplace(kWindowOwnerPidKey, std::int64_t{ownPid});
    info.emplace(kWindowLayerKey, std::int64_t{peer->level()});
    info.emplace(kWindowAlphaKey, peer->alpha());
    list.push_back(std::move(info));
  }
}

}  // namespace platform::wayland
