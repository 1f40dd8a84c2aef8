#include "platform/gnome/gnome_shell_client.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <mutex>

#include "tests/qt/qt_event_loop.h"

namespace platform::gnome {
namespace {

using qt::test::waitUntil;

// The client answers from the event loop, so the reply is waited for there.
QDBusMessage call(QDBusConnection& from, const QString& member, const QList<QVariant>& args) {
  QDBusMessage message = QDBusMessage::createMethodCall(GnomeShellClient::serviceName(),
                                                        GnomeShellClient::objectPath(),
                                                        GnomeShellClient::interfaceName(), member);
  message.setArguments(args);
  QDBusPendingCall pending = from.asyncCall(message);
  waitUntil([&] { return pending.isFinished(); });
  return pending.reply();
}

// Keeps the calls that reach the stand-in's /org/quillmere/Shell, from whichever thread.
class ShellObject final : public QDBusVirtualObject {
 public:
  bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
    std::lock_guard lock(mutex);
    received.push_back(message);
    return true;
  }
  QString introspect(const QString&) const override { return {}; }
  std::vector<QDBusMessage> taken() {
    std::lock_guard lock(mutex);
    return received;
  }

 private:
  std::mutex mutex;
  std::vector<QDBusMessage> received;
};

// A stand-in for GNOME Shell: a connection of its own that owns org.gnome.Shell.
TEST(GnomeShellClient, ObeysTheShellOfNowAloneAndExitsWhenItGoes) {
  QDBusConnection shell = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "shell");
  ASSERT_TRUE(shell.registerService("org.gnome.Shell"));

  int toggles = 0;
  std::string gone;
  ShellEvents events;
  events.toggle = [&] { ++toggles; };
  events.gone = [&](const char* line) { gone = line; };
  GnomeShellClient client(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "ours"), 1,
                          events);
  client.start();
  ASSERT_TRUE(client.ownsName());
  EXPECT_FALSE(client.helloAnswered());  // the stand-in serves no Hello

  // The stranger's calls are refused in tests/gnome/test_input.py; the shell's reports and
  // its toggle key reach Quillmere in every GNOME scenario. Wrong signatures and other keys
  // are ignored (the reply comes once the call is handled).
  call(shell, "Key", {42});
  call(shell, "Key", {QStringLiteral("other")});
  EXPECT_EQ(toggles, 0);
  EXPECT_TRUE(gone.empty());

  // The removals, which no scenario sees (the extension clears everything when Quillmere goes),
  // carry the interface's signatures; the other calls fail every scenario when theirs are wrong.
  ShellObject object;
  ASSERT_TRUE(shell.registerVirtualObject("/org/quillmere/Shell", &object));
  client.removePane(3);
  client.removeMenu();
  ASSERT_TRUE(waitUntil([&] { return object.taken().size() == 2; }));
  for (const QDBusMessage& removal : object.taken()) {
    EXPECT_EQ(removal.interface(), "org.quillmere.Shell1");
    EXPECT_EQ(removal.signature(), removal.member() == "RemovePane" ? "u" : "")
        << removal.member().toStdString();
  }
  shell.unregisterObject("/org/quillmere/Shell");
  shell.unregisterService("org.gnome.Shell");
  ASSERT_TRUE(waitUntil([&] { return !gone.empty(); }));
  EXPECT_EQ(gone, "quillmere: GNOME Shell has gone away");
}

}  // namespace
}  // namespace platform::gnome

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
