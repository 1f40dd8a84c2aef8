#pragma once

#include <memory>

#include "platform/gnome/menu_rows.h"
#include "platform/gnome/pane_set.h"
#include "platform/menu.h"

namespace platform::gnome {

// The status item on GNOME Shell: the extension's top-bar button (it draws the dotted circle
// itself) with the item's menu, sent whole on each change. Rows chosen or slid there come back
// through activate and slide.
class StatusMenuPeer final : public StatusItemPeer {
 public:
  StatusMenuPeer(StatusItem& item, std::shared_ptr<PaneSet> peers);
  ~StatusMenuPeer() override;
  StatusMenuPeer(const StatusMenuPeer&) = delete;
  StatusMenuPeer& operator=(const StatusMenuPeer&) = delete;

  void imageDidChange() override { send(); }
  void menuDidChange() override;

  // MenuActivated(row): the row's item performs its action, if it is an enabled item.
  void activate(int row);
  // SliderMoved(row, value): the row's slider moves there and sends its action.
  void slide(int row, double value);
  // The extension forgot the menu (a new Hello): it goes again.
  void resend();

 private:
  void send();

  StatusItem& item_;
  std::shared_ptr<PaneSet> peers_;
  MenuRows shown_;
  bool sent_ = false;
};

}  // namespace platform::gnome
