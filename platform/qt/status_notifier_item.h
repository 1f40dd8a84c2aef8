#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <cstdint>

class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace platform::qt {

// One image of the icon as a tray host reads it: ARGB32, each pixel's bytes in network order.
struct StatusIconPixmap {
  int width = 0;
  int height = 0;
  QByteArray argb;
  bool operator==(const StatusIconPixmap&) const = default;
};
using StatusIconPixmaps = QList<StatusIconPixmap>;

// The icon at the sizes that tray hosts draw, from small panels to HiDPI ones.
StatusIconPixmaps statusIconPixmaps(const QIcon& icon);

// Quillmere's status icon in a StatusNotifierItem tray (waybar's, for one) on the session bus.
// It owns a name of its own, serves the item at /StatusNotifierItem and registers with the
// StatusNotifierWatcher whenever one appears. It exports no menu, not even a placeholder path:
// waybar builds an empty menu from any path it is given and then never asks us for the context
// menu. Without a bus or a watcher it stays quiet; every bus call is asynchronous, so a host
// that hangs holds nothing up.
class StatusNotifierItem final : public QObject {
  Q_OBJECT

 public:
  explicit StatusNotifierItem(QObject* parent = nullptr);
  ~StatusNotifierItem() override;
  StatusNotifierItem(const StatusNotifierItem&) = delete;
  StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

  // The bus name the item serves under, empty without a bus.
  QString serviceName() const { return serviceName_; }

  // True while a watcher runs and says a tray host is registered with it.
  bool hostAvailable() const { return hostAvailable_; }

  void setIcon(const QIcon& icon);
  const StatusIconPixmaps& iconPixmaps() const { return iconPixmaps_; }

 signals:
  void hostAvailabilityChanged();
  // A primary click or a request for the context menu, at the point the host gives, unchanged.
  // WORKAROUND(waybar): waybar (0.9.17) gives the click's position inside the item's own
  // widget, in logical points: x from the icon's left edge, y from the top of the bar. It tells
  // neither the output nor where on it the tray is.
  void activated(QPoint position);
  // For the bus: the icon's images changed.
  void iconChanged();

 private:
  void onNameRequested(QDBusPendingCallWatcher* call);
  void onWatcherOwnerChanged(const QString& newOwner);
  void registerWithWatcher();
  void readHostRegistered();
  void onHostRegisteredRead(QDBusPendingCallWatcher* call, std::uint64_t generation);
  void setHostAvailable(bool available);
  Q_SLOT void onHostRegistered();
  Q_SLOT void onHostUnregistered();

  QString serviceName_;
  bool objectRegistered_ = false;
  bool nameOwned_ = false;
  bool watcherRunning_ = false;
  bool hostAvailable_ = false;
  // Advances with every change of what is known of the watcher, so that an answer to an older
  // question cannot overwrite a newer fact.
  std::uint64_t watcherGeneration_ = 0;
  QDBusServiceWatcher* serviceWatcher_ = nullptr;
  StatusIconPixmaps iconPixmaps_;
};

}  // namespace platform::qt
