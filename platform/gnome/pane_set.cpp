#include "platform/gnome/pane_set.h"

#include <algorithm>

namespace platform::gnome {

std::optional<std::uint32_t> PaneSet::add(PanePeer* peer) {
  peers_.push_back(peer);
  for (std::size_t i = 0; i < kMaxPanes; ++i) {
    if (used_[i]) continue;
    used_.set(i);
    return static_cast<std::uint32_t>(i);
  }
  return std::nullopt;
}

void PaneSet::remove(PanePeer* peer, std::optional<std::uint32_t> pane) {
  peers_.erase(std::remove(peers_.begin(), peers_.end(), peer), peers_.end());
  if (pane && *pane < kMaxPanes) used_.reset(*pane);
}

}  // namespace platform::gnome
