#include "platform/qt/status_notifier_item.h"

#include <unistd.h>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QImage>
#include <QPixmap>
#include <QtEndian>
#include <array>
#include <atomic>

namespace platform::qt {

namespace {
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kWatcherInterface = "org.kde.StatusNotifierWatcher";
constexpr std::array<int, 5> kIconSizes = {16, 22, 24, 32, 48};
// RequestName's flag that makes a taken name fail at once instead of queueing for it.
constexpr unsigned kDoNotQueue = 4;
constexpr unsigned kPrimaryOwner = 1;
constexpr unsigned kAlreadyOwner = 4;

QDBusConnection sessionBus() {
  return QDBusConnection::sessionBus();
}

// A name of our own for each item in the process, as hosts expect it to look.
QString nextServiceName() {
  static std::atomic<int> count = 0;
  return QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(getpid()).arg(++count);
}

QDBusMessage watcherCall(const QString& interface, const QString& method) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath), interface, method);
  // A watcher that does not run is not to be started for us.
  call.setAutoStartService(false);
  return call;
}

StatusIconPixmap argbPixmap(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  StatusIconPixmap pixmap{argb.width(), argb.height(), {}};
  pixmap.argb.resize(qsizetype(argb.width()) * argb.height() * 4);
  char* out = pixmap.argb.data();
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x, out += 4) qToBigEndian(row[x], out);
  }
  return pixmap;
}
}  // namespace

// The tool tip a host shows over the icon: a themed icon, images, title and text.
struct StatusToolTip {
  QString iconName;
  StatusIconPixmaps icon;
  QString title;
  QString text;
};

QDBusArgument& operator<<(QDBusArgument& out, const StatusIconPixmap& pixmap) {
  out.beginStructure();
  out << pixmap.width << pixmap.height << pixmap.argb;
  out.endStructure();
  return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, StatusIconPixmap& pixmap) {
  in.beginStructure();
  in >> pixmap.width >> pixmap.height >> pixmap.argb;
  in.endStructure();
  return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const StatusToolTip& tip) {
  out.beginStructure();
  out << tip.iconName << tip.icon << tip.title << tip.text;
  out.endStructure();
  return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, StatusToolTip& tip) {
  in.beginStructure();
  in >> tip.iconName >> tip.icon >> tip.title >> tip.text;
  in.endStructure();
  return in;
}

StatusIconPixmaps statusIconPixmaps(const QIcon& icon) {
  StatusIconPixmaps pixmaps;
  if (icon.isNull()) return pixmaps;
  for (int size : kIconSizes) {
    // One image pixel per pixel the host asks for, whatever the scale of our own screens.
    QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
    if (image.isNull()) continue;
    if (image.size() != QSize(size, size)) {
      image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    pixmaps.append(argbPixmap(image));
  }
  return pixmaps;
}

}  // namespace platform::qt

Q_DECLARE_METATYPE(platform::qt::StatusIconPixmap)
Q_DECLARE_METATYPE(platform::qt::StatusToolTip)

namespace platform::qt {

namespace {
// The item's interface on the bus. QtDBus answers a call whose argument types differ from a
// slot's with an error and never reaches the slot, so what a caller sends arrives typed.
class StatusNotifierItemAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
  Q_PROPERTY(QString Category READ category)
  Q_PROPERTY(QString Id READ id)
  Q_PROPERTY(QString Title READ title)
  Q_PROPERTY(QString Status READ status)
  Q_PROPERTY(int WindowId READ windowId)
  Q_PROPERTY(QString IconName READ iconName)
  Q_PROPERTY(platform::qt::StatusIconPixmaps IconPixmap READ iconPixmap)
  Q_PROPERTY(platform::qt::StatusToolTip ToolTip READ toolTip)
  Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)

 public:
  explicit StatusNotifierItemAdaptor(StatusNotifierItem* item)
      : QDBusAbstractAdaptor(item), item_(item) {
    connect(item, &StatusNotifierItem::iconChanged, this, &StatusNotifierItemAdaptor::NewIcon);
  }

  QString category() const { return QStringLiteral("ApplicationStatus"); }
  QString id() const { return QStringLiteral("quillmere"); }
  QString title() const { return QStringLiteral("Quillmere"); }
  QString status() const { return QStringLiteral("Active"); }
  int windowId() const { return 0; }
  // No themed name: the images are what the host draws.
  QString iconName() const { return {}; }
  StatusIconPixmaps iconPixmap() const { return item_->iconPixmaps(); }
  StatusToolTip toolTip() const { return {{}, {}, title(), {}}; }
  bool itemIsMenu() const { return false; }

 public slots:
  void Activate(int x, int y) { emit item_->activated(QPoint(x, y)); }
  void ContextMenu(int x, int y) { emit item_->activated(QPoint(x, y)); }
  void SecondaryActivate(int, int) {}
  void Scroll(int, const QString&) {}

 signals:
  void NewIcon();
  void NewToolTip();
  void NewTitle();
  void NewStatus(const QString& status);

 private:
  StatusNotifierItem* item_;
};
}  // namespace

StatusNotifierItem::StatusNotifierItem(QObject* parent) : QObject(parent) {
  QDBusConnection bus = sessionBus();
  if (!bus.isConnected()) return;
  qDBusRegisterMetaType<StatusIconPixmap>();
  qDBusRegisterMetaType<StatusIconPixmaps>();
  qDBusRegisterMetaType<StatusToolTip>();

  new StatusNotifierItemAdaptor(this);
  objectRegistered_ =
      bus.registerObject(QString::fromLatin1(kItemPath), this, QDBusConnection::ExportAdaptors);
  if (!objectRegistered_) return;

  // The watcher's signals and owner are followed before anything is asked of it, so that
  // nothing it does in between goes unseen.
  bus.connect(QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
              QString::fromLatin1(kWatcherInterface),
              QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(onHostRegistered()));
  bus.connect(QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
              QString::fromLatin1(kWatcherInterface),
              QStringLiteral("StatusNotifierHostUnregistered"), this, SLOT(onHostUnregistered()));
  serviceWatcher_ = new QDBusServiceWatcher(QString::fromLatin1(kWatcherService), bus,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
  connect(serviceWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
          [this](const QString&, const QString&, const QString& newOwner) {
            onWatcherOwnerChanged(newOwner);
          });

  serviceName_ = nextServiceName();
  QDBusMessage request = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
  request << serviceName_ << kDoNotQueue;
  auto* requested = new QDBusPendingCallWatcher(bus.asyncCall(request), this);
  connect(requested, &QDBusPendingCallWatcher::finished, this,
          &StatusNotifierItem::onNameRequested);

  auto* owner = new QDBusPendingCallWatcher(
      bus.asyncCall(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                   QStringLiteral("/org/freedesktop/DBus"),
                                                   QStringLiteral("org.freedesktop.DBus"),
                                                   QStringLiteral("GetNameOwner"))
                    << QString::fromLatin1(kWatcherService)),
      this);
  const std::uint64_t generation = watcherGeneration_;
  connect(owner, &QDBusPendingCallWatcher::finished, this,
          [this, generation](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            const QDBusPendingReply<QString> reply = *call;
            // An owner change seen meanwhile is newer than this answer.
            if (generation != watcherGeneration_ || reply.isError()) return;
            onWatcherOwnerChanged(reply.value());
          });
}

StatusNotifierItem::~StatusNotifierItem() {
  if (!objectRegistered_) return;
  QDBusConnection bus = sessionBus();
  bus.unregisterObject(QString::fromLatin1(kItemPath));
  if (nameOwned_) {
    QDBusMessage release = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReleaseName"));
    release << serviceName_;
    bus.send(release);
  }
}

void StatusNotifierItem::setIcon(const QIcon& icon) {
  StatusIconPixmaps pixmaps = statusIconPixmaps(icon);
  if (pixmaps == iconPixmaps_) return;
  iconPixmaps_ = std::move(pixmaps);
  emit iconChanged();
}

void StatusNotifierItem::onNameRequested(QDBusPendingCallWatcher* call) {
  call->deleteLater();
  const QDBusPendingReply<unsigned> reply = *call;
  if (reply.isError()) return;
  nameOwned_ = reply.value() == kPrimaryOwner || reply.value() == kAlreadyOwner;
  if (nameOwned_ && watcherRunning_) registerWithWatcher();
}

void StatusNotifierItem::onWatcherOwnerChanged(const QString& newOwner) {
  ++watcherGeneration_;
  watcherRunning_ = !newOwner.isEmpty();
  if (!watcherRunning_) {
    setHostAvailable(false);
    return;
  }
  if (nameOwned_) registerWithWatcher();
  readHostRegistered();
}

// The watcher's answer does not matter: one that refuses the item has no tray to show it in,
// and a new watcher is registered with again.
void StatusNotifierItem::registerWithWatcher() {
  QDBusMessage call = watcherCall(QString::fromLatin1(kWatcherInterface),
                                  QStringLiteral("RegisterStatusNotifierItem"));
  call << serviceName_;
  sessionBus().send(call);
}

void StatusNotifierItem::readHostRegistered() {
  QDBusMessage call =
      watcherCall(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  call << QString::fromLatin1(kWatcherInterface)
       << QStringLiteral("IsStatusNotifierHostRegistered");
  auto* pending = new QDBusPendingCallWatcher(sessionBus().asyncCall(call), this);
  const std::uint64_t generation = watcherGeneration_;
  connect(pending, &QDBusPendingCallWatcher::finished, this,
          [this, generation](QDBusPendingCallWatcher* call) {
            onHostRegisteredRead(call, generation);
          });
}

// The watcher is another program: its answer may be an error or of any type.
void StatusNotifierItem::onHostRegisteredRead(QDBusPendingCallWatcher* call,
                                              std::uint64_t generation) {
  call->deleteLater();
  if (generation != watcherGeneration_) return;
  const QDBusPendingReply<QDBusVariant> reply = *call;
  const QVariant value = reply.isError() ? QVariant() : reply.value().variant();
  setHostAvailable(value.metaType() == QMetaType::fromType<bool>() && value.toBool());
}

void StatusNotifierItem::onHostRegistered() {
  ++watcherGeneration_;
  setHostAvailable(true);
}

// Another host may still be registered, which only the watcher knows.
void StatusNotifierItem::onHostUnregistered() {
  ++watcherGeneration_;
  readHostRegistered();
}

void StatusNotifierItem::setHostAvailable(bool available) {
  if (available == hostAvailable_) return;
  hostAvailable_ = available;
  emit hostAvailabilityChanged();
}

}  // namespace platform::qt

#include "status_notifier_item.moc"
