#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/gnome/shell_calls.h"

namespace platform::gnome {

class PanePeer;
class StatusMenuPeer;

// The panes alive at once and their numbers (the extension takes fewer than 64) and the status
// menu, shared by the platform and its peers, which may outlive it: the platform then detaches, and
// the peers fall silent.
class PaneSet final {
 public:
  static constexpr std::size_t kMaxPanes = 64;

  PaneSet(ShellCalls* shell, std::function<double()> primaryBottom)
      : shell_(shell), primaryBottom_(std::move(primaryBottom)) {}

  // The lowest free pane number, or none when every one is taken.
  std::optional<std::uint32_t> add(PanePeer* peer);
  void remove(PanePeer* peer, std::optional<std::uint32_t> pane);
  const std::vector<PanePeer*>& peers() const { return peers_; }

  // The status item's menu, which MenuActivated and SliderMoved reach; null without one.
  StatusMenuPeer* menuPeer() const { return menuPeer_; }
  void setMenuPeer(StatusMenuPeer* peer) { menuPeer_ = peer; }

  ShellCalls* shell() const { return shell_; }
  double primaryBottom() const { return primaryBottom_ ? primaryBottom_() : 0.0; }
  void detach() {
    shell_ = nullptr;
    primaryBottom_ = nullptr;
  }

 private:
  ShellCalls* shell_;
  std::function<double()> primaryBottom_;
  std::bitset<kMaxPanes> used_;
  std::vector<PanePeer*> peers_;
  StatusMenuPeer* menuPeer_ = nullptr;
};

}  // namespace platform::gnome
