// The status item on a private session bus that the test run starts, against a stand-in watcher
// on a connection of its own: registration, the properties as a host reads them, clicks and
// what is known of the tray host. Without a bus it stays quiet under the sway scenarios
// (tests/wayland), whose sessions have none unless they start a tray.
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

class StatusNotifierItemTest : public ::testing::Test {
 protected:
  void TearDown() override { QDBusConnection::disconnectFromBus(client_.name()); }

  QDBusMessage callItem(const StatusNotifierItem& item, const QString& interface,
                        const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        item.serviceName(), QStringLiteral("/StatusNotifierItem"), interface, method);
    call.setArguments(arguments);
    // The item answers on this thread's event loop, so the call waits by running it.
    QDBusPendingCallWatcher pending(client_.asyncCall(call));
    waitUntil([&] { return pending.isFinished(); });
    return pending.reply();
  }

  QDBusConnection client_ = connectionNamed(QStringLiteral("host"));
};

QString wireSignature(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
    return value.value<QDBusArgument>().currentSignature();
  }
  return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType()));
}

// A new icon is announced (as NewIcon on the bus) only when it changed.
TEST_F(StatusNotifierItemTest, ServesItsPropertiesWithTheTypesHostsRead) {
  StatusNotifierItem item;
  int newIcons = 0;
  QObject::connect(&item, &StatusNotifierItem::iconChanged, [&] { ++newIcons; });
  QImage image(48, 48, QImage::Format_ARGB32);
  image.fill(QColor(0x11, 0x22, 0x33));
  item.setIcon(QIcon(QPixmap::fromImage(image)));
  item.setIcon(QIcon(QPixmap::fromImage(image)));
  EXPECT_EQ(newIcons, 1);

  const QDBusMessage reply =
      callItem(item, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
               {QStringLiteral("org.kde.StatusNotifierItem")});
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

// A call of another signature never reaches the item: QtDBus refuses it.
TEST_F(StatusNotifierItemTest, ReportsPrimaryAndContextClicksWithTheHostsCoordinates) {
  StatusNotifierItem item;
  QList<QPoint> activations;
  QObject::connect(&item, &StatusNotifierItem::activated,
                   [&](QPoint position) { activations.append(position); });
  for (const auto& [method, x] :
       {std::pair{"Activate", 10}, {"ContextMenu", -3}, {"SecondaryActivate", 5}}) {
    callItem(item, QStringLiteral("org.kde.StatusNotifierItem"), QString::fromLatin1(method),
             {x, 4});
  }
  EXPECT_EQ(activations, (QList<QPoint>{{10, 4}, {-3, 4}}));
}

// Registering with a watcher that runs at the start or comes later, and a host that comes with
// it, are pinned by waybar's tray in tests/wayland/test_menu.py. Whether a host is there
// follows the watcher's property, its signals and its presence.
TEST_F(StatusNotifierItemTest, FollowsTheWatchersHostsAndItsPresence) {
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
