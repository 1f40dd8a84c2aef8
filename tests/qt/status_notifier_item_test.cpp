// The status item on a private session bus that the test run starts, against a stand-in watcher
// on a connection of its own: the properties as a host reads them, the clicks, and what is known
// of the tray host; waybar's click on the item opens the menu in tests/wayland/test_menu.py.
// Without a bus it stays quiet under the sway scenarios (tests/wayland), whose sessions have none
// unless they start a tray.
#include "platform/qt/status_notifier_item.h"
#include "tests/qt/qt_event_loop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QImage>
#include <QPixmap>
#include <memory>
#include <tuple>

namespace platform::qt {
namespace {

using platform::qt::test::runEventLoopFor;
using platform::qt::test::waitUntil;

QDBusConnection connectionNamed(const QString& name) {
  return QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), name);
}

// A StatusNotifierWatcher that says what the test tells it, and takes no item.
class FakeWatcher final : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(bool IsStatusNotifierHostRegistered MEMBER hostRegistered)

 public:
  explicit FakeWatcher(bool hostRegistered_) : hostRegistered(hostRegistered_) {
    bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                            QDBusConnection::ExportAllProperties);
    EXPECT_TRUE(bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
  }
  ~FakeWatcher() override { QDBusConnection::disconnectFromBus(bus_.name()); }

  bool hostRegistered;

 signals:
  void StatusNotifierHostRegistered();
  void StatusNotifierHostUnregistered();

 private:
  QDBusConnection bus_ = connectionNamed(QStringLiteral("fake-watcher"));
};

QString wireSignature(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
    return value.value<QDBusArgument>().currentSignature();
  }
  return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType()));
}

// A new icon is announced (as NewIcon on the bus) only when it changed.
TEST(StatusNotifierItemTest, ServesItsPropertiesWithTheTypesHostsRead) {
  StatusNotifierItem item;
  int newIcons = 0;
  QObject::connect(&item, &StatusNotifierItem::iconChanged, [&] { ++newIcons; });
  QImage image(48, 48, QImage::Format_ARGB32);
  image.fill(QColor(0x11, 0x22, 0x33));
  item.setIcon(QIcon(QPixmap::fromImage(image)));
  item.setIcon(QIcon(QPixmap::fromImage(image)));
  EXPECT_EQ(newIcons, 1);

  QDBusMessage getAll = QDBusMessage::createMethodCall(
      item.serviceName(), QStringLiteral("/StatusNotifierItem"),
      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
  getAll << QStringLiteral("org.kde.StatusNotifierItem");
  // The item answers on this thread's event loop, so the call waits by running it.
  QDBusConnection host = connectionNamed(QStringLiteral("host"));
  QDBusPendingCallWatcher pending(host.asyncCall(getAll));
  waitUntil([&] { return pending.isFinished(); });
  const QDBusMessage reply = pending.reply();
  QDBusConnection::disconnectFromBus(host.name());
  ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
  const auto properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
  const struct {
    const char* name;
    const char* signature;
    QVariant value;
  } expected[] = {
      {"Category", "s", QStringLiteral("ApplicationStatus")},
      {"Id", "s", QStringLiteral("quillmere")},
      {"Title", "s", QStringLiteral("Quillmere")},
      {"Status", "s", QStringLiteral("Active")},
      {"IconName", "s", QString()},
      {"WindowId", "i", 0},
      {"ItemIsMenu", "b", false},
      {"IconPixmap", "a(iiay)", {}},
      {"ToolTip", "(sa(iiay)ss)", {}},
  };
  for (const auto& property : expected) {
    const QVariant value = properties.value(QString::fromLatin1(property.name));
    EXPECT_EQ(wireSignature(value), QString::fromLatin1(property.signature)) << property.name;
    if (property.value.isValid()) {
      EXPECT_EQ(value, property.value) << property.name;
    }
  }
  // A Menu path, even a placeholder, makes waybar show an empty menu of its own.
  EXPECT_FALSE(properties.contains(QStringLiteral("Menu")));

  QList<int> sizes;
  for (const StatusIconPixmap& pixmap : item.iconPixmaps()) {
    EXPECT_EQ(pixmap.width, pixmap.height);
    ASSERT_EQ(pixmap.argb.size(), pixmap.width * pixmap.height * 4);
    // Alpha first, then red, green and blue: ARGB32 in network byte order.
    const qsizetype centre = (qsizetype(pixmap.height / 2) * pixmap.width + pixmap.width / 2) * 4;
    EXPECT_EQ(pixmap.argb.mid(centre, 4), QByteArray::fromHex("ff112233")) << pixmap.width;
    sizes.append(pixmap.width);
  }
  EXPECT_EQ(sizes, (QList<int>{16, 22, 24, 32, 48}));
}

// waybar's left click is Activate; trays that find no menu of the item's own, as Plasma's, ask
// for one with ContextMenu on a right click. Both open the menu at the host's point.
TEST(StatusNotifierItemTest, ActivateAndContextMenuOpenTheMenuWhereTheHostSays) {
  StatusNotifierItem item;
  QList<QPoint> opened;
  QObject::connect(&item, &StatusNotifierItem::activated, [&](QPoint at) { opened.append(at); });
  QDBusConnection host = connectionNamed(QStringLiteral("host"));
  for (const auto& [method, x, y] :
       {std::tuple{"Activate", 10, 20}, {"ContextMenu", -3, 4}, {"SecondaryActivate", 5, 6}}) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        item.serviceName(), QStringLiteral("/StatusNotifierItem"),
        QStringLiteral("org.kde.StatusNotifierItem"), QString::fromLatin1(method));
    call << x << y;
    host.call(call, QDBus::NoBlock);
  }
  waitUntil([&] { return opened.size() >= 2; });
  runEventLoopFor(0.2);  // the third call, had it opened the menu
  QDBusConnection::disconnectFromBus(host.name());
  EXPECT_EQ(opened, (QList<QPoint>{{10, 20}, {-3, 4}}));
}

// Registering with a watcher that runs at the start or comes later, and a host that comes with
// it, are pinned by waybar's tray in tests/wayland/test_menu.py. Whether a host is there
// follows the watcher's property, its signals and its presence.
TEST(StatusNotifierItemTest, FollowsTheWatchersHostsAndItsPresence) {
  auto watcher = std::make_unique<FakeWatcher>(true);
  StatusNotifierItem item;
  ASSERT_TRUE(waitUntil([&] { return item.hostAvailable(); }));

  // One host of several left: the watcher, asked again, still has one.
  emit watcher->StatusNotifierHostUnregistered();
  runEventLoopFor(0.2);
  EXPECT_TRUE(item.hostAvailable());

  watcher->hostRegistered = false;
  emit watcher->StatusNotifierHostUnregistered();
  ASSERT_TRUE(waitUntil([&] { return !item.hostAvailable(); }));

  watcher->hostRegistered = true;
  emit watcher->StatusNotifierHostRegistered();
  ASSERT_TRUE(waitUntil([&] { return item.hostAvailable(); }));

  watcher.reset();
  ASSERT_TRUE(waitUntil([&] { return !item.hostAvailable(); }));
}

}  // namespace
}  // namespace platform::qt

// The one QApplication of the executable's tests; it reaches for no display.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}

#include "status_notifier_item_test.moc"
