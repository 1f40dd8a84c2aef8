#include "platform/qt/desktop_notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

namespace platform::qt {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kApplicationName = QStringLiteral("Quillmere");
constexpr uint kNoReplacement = 0;
constexpr int kServerDefaultTimeout = -1;
}  // namespace

// The reply is never awaited: a missing or hung server must not hold up the launch.
void sendDesktopNotification(const UserNotification& notification, const QString& iconPath) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
  call << kApplicationName << kNoReplacement << iconPath
       << QString::fromStdString(notification.title())
       << QString::fromStdString(notification.informativeText()) << QStringList() << QVariantMap()
       << kServerDefaultTimeout;
  bus.asyncCall(call);
}

}  // namespace platform::qt
