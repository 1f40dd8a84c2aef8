#include "platform/gnome/status_menu_peer.h"

#include <cmath>

namespace platform::gnome {

StatusMenuPeer::StatusMenuPeer(StatusItem& item, std::shared_ptr<PaneSet> peers)
    : item_(item), peers_(std::move(peers)) {
  peers_->setMenuPeer(this);
}

StatusMenuPeer::~StatusMenuPeer() {
  if (item_.menu() != nullptr) item_.menu()->setChangeObserver(nullptr);
  if (sent_ && peers_->shell() != nullptr) peers_->shell()->removeMenu();
  if (peers_->menuPeer() == this) peers_->setMenuPeer(nullptr);
}

// A menu that changes later (a check mark, the slider) is sent again.
void StatusMenuPeer::menuDidChange() {
  if (item_.menu() != nullptr) item_.menu()->setChangeObserver([this] { send(); });
  send();
}

void StatusMenuPeer::resend() {
  sent_ = false;
  send();
}

void StatusMenuPeer::send() {
  MenuRows rows = menuRowsOf(item_.menu());
  if (sent_ && rows.rows == shown_.rows) {
    shown_.items = std::move(rows.items);
    return;
  }
  shown_ = std::move(rows);
  if (peers_->shell() == nullptr) return;
  sent_ = true;
  peers_->shell()->setMenu(shown_.rows);
}

void StatusMenuPeer::activate(int row) {
  if (row < 0 || std::size_t(row) >= shown_.items.size()) return;
  const auto item = shown_.items[std::size_t(row)];
  Menu* menu = item_.menu();
  if (shown_.rows[std::size_t(row)].kind != "item" || menu == nullptr ||
      !menu->showsItemEnabled(*item)) {
    return;
  }
  item->performAction();
}

void StatusMenuPeer::slide(int row, double value) {
  if (row < 0 || std::size_t(row) >= shown_.items.size() || !std::isfinite(value)) return;
  const auto slider = sliderOf(*shown_.items[std::size_t(row)]);
  if (!slider) return;
  slider->setDoubleValue(value);
  slider->sendAction();
}

}  // namespace platform::gnome
