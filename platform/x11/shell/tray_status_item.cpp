#include "platform/x11/shell/tray_status_item.h"

#include <QCursor>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "platform/qt/dotted_circle_icon.h"
#include "platform/qt/tray_menu.h"
#include "platform/x11/shell/tray_host_watcher.h"
#include "platform/x11/shell/tray_panel.h"

namespace platform::x11 {

namespace {
const QString kTitle = QStringLiteral("Quillmere");

class TrayStatusItemPeer final : public QObject, public StatusItemPeer {
 public:
  explicit TrayStatusItemPeer(StatusItem& item) : item_(item) {
    connect(&watcher_, &TrayHostWatcher::trayHostsChanged, this, &TrayStatusItemPeer::present,
            Qt::QueuedConnection);
  }

  void imageDidChange() override {
    StatusBarButton* button = item_.button();
    icon_ = qt::statusItemIcon(button != nullptr ? button->image().get() : nullptr);
    present();
  }

  void menuDidChange() override { menu_.setModel(item_.menu()); }

 private:
  // Shows the icon in the tray when a host runs, else in the panel; nothing without an icon.
  void present() {
    if (icon_.isNull()) {
      trayIcon_.reset();
      panel_.reset();
      return;
    }
    if (watcher_.mayHaveTrayHost() && QSystemTrayIcon::isSystemTrayAvailable()) {
      panel_.reset();
      if (!trayIcon_) {
        trayIcon_ = std::make_unique<QSystemTrayIcon>();
        trayIcon_->setToolTip(kTitle);
        // Never given the menu: a host that exports menus over the bus would drop the slider.
        connect(trayIcon_.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                  if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) {
                    menu_.popupAt(QCursor::pos());
                  }
                });
      }
      trayIcon_->setIcon(icon_);
      trayIcon_->show();
      return;
    }
    trayIcon_.reset();
    if (!panel_) {
      panel_ = std::make_unique<TrayPanel>();
      connect(panel_.get(), &TrayPanel::clicked, this, [this] { menu_.popupAt(QCursor::pos()); });
    }
    panel_->setIcon(icon_);
    panel_->showAtCorner();
  }

  StatusItem& item_;
  QIcon icon_;
  qt::TrayMenu menu_;
  TrayHostWatcher watcher_;
  std::unique_ptr<QSystemTrayIcon> trayIcon_;
  std::unique_ptr<TrayPanel> panel_;
};
}  // namespace

std::unique_ptr<StatusItemPeer> makeTrayStatusItemPeer(StatusItem& item) {
  return std::make_unique<TrayStatusItemPeer>(item);
}

}  // namespace platform::x11
