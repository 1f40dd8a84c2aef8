#include "platform/wayland/status_item_peer.h"

#include <QObject>

#include "platform/qt/dotted_circle_icon.h"
#include "platform/qt/status_notifier_item.h"
#include "platform/qt/tray_menu.h"
#include "platform/wayland/menu_popup.h"
#include "platform/wayland/stand_in_panel.h"

namespace platform::wayland {

namespace {

class WaylandStatusItemPeer final : public QObject, public StatusItemPeer {
 public:
  WaylandStatusItemPeer(StatusItem& item, WaylandConnection& connection,
                        std::function<bool(const Event&)> localKeyDown,
                        std::function<std::string()> focusedOutput)
      : item_(item),
        popup_(connection, menu_, std::move(localKeyDown)),
        panel_(connection),
        focusedOutput_(std::move(focusedOutput)) {
    connect(&notifierItem_, &qt::StatusNotifierItem::hostAvailabilityChanged, this,
            &WaylandStatusItemPeer::present);
    connect(&notifierItem_, &qt::StatusNotifierItem::activated, this,
            [this](QPoint) { popup_.openBesideTray(focusedOutput_()); });
    connect(&panel_, &StandInPanel::clicked, this, [this](QPointF point) { popup_.openAt(point); });
  }

  void imageDidChange() override {
    StatusBarButton* button = item_.button();
    icon_ = qt::statusItemIcon(button != nullptr ? button->image().get() : nullptr);
    notifierItem_.setIcon(icon_);
    panel_.setIcon(icon_);
    present();
  }

  void menuDidChange() override { menu_.setModel(item_.menu()); }

 private:
  // The tray shows the icon while a host runs, the panel otherwise; nothing without an icon.
  void present() {
    const bool panelWanted = !icon_.isNull() && !notifierItem_.hostAvailable();
    if (panelWanted) {
      panel_.show();
    } else {
      panel_.hide();
    }
  }

  StatusItem& item_;
  QIcon icon_;
  qt::TrayMenu menu_;
  MenuPopup popup_;
  qt::StatusNotifierItem notifierItem_;
  StandInPanel panel_;
  std::function<std::string()> focusedOutput_;
};

}  // namespace

std::unique_ptr<StatusItemPeer> makeStatusItemPeer(StatusItem& item, WaylandConnection& connection,
                                                   std::function<bool(const Event&)> localKeyDown,
                                                   std::function<std::string()> focusedOutput) {
  return std::make_unique<WaylandStatusItemPeer>(item, connection, std::move(localKeyDown),
                                                 std::move(focusedOutput));
}

}  // namespace platform::wayland
