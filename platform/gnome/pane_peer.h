#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/gnome/pane_look.h"
#include "platform/gnome/pane_set.h"
#include "platform/window.h"

namespace platform::gnome {

// An overlay window as one of the extension's panes: each change sends what differs from what
// the extension was last sent (a fade step, SetAlpha alone), and nothing when nothing does.
// The pane goes on destruction. A window past the extension's number of panes shows nothing.
class PanePeer final : public WindowPeer {
 public:
  PanePeer(Window& window, std::shared_ptr<PaneSet> panes, WindowNumber number);
  ~PanePeer() override;
  PanePeer(const PanePeer&) = delete;
  PanePeer& operator=(const PanePeer&) = delete;

  WindowNumber windowNumber() override { return number_; }
  void frameDidChange() override { sendLook(); }
  void levelDidChange() override { sendLook(); }
  void alphaDidChange() override;
  void attributesDidChange() override { sendLook(); }
  void contentDidChange() override { sendLook(); }
  void orderFront() override;

  // The extension forgot every pane (a new Hello): this one goes again, whole.
  void resend();

  // What the window list shows of it.
  bool isOnScreen() const { return orderedFront_; }
  const Window& window() const { return window_; }

 private:
  void sendLook();

  Window& window_;
  std::shared_ptr<PaneSet> panes_;
  std::optional<std::uint32_t> pane_;
  WindowNumber number_;
  bool orderedFront_ = false;
  std::optional<PaneLook> sentLook_;
  std::optional<double> sentAlpha_;
};

}  // namespace platform::gnome
