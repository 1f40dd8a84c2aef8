#include "platform/main/gnome_entry.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/gnome/gnome_platform.h"
#include "platform/main/session_toggle.h"

namespace platform::entry {

// A connection of its own, dropped after the one question, before any application object.
bool gnomeBackendAvailable() {
  if (environmentValue("WAYLAND_DISPLAY") == nullptr) return false;
  const QString name = QStringLiteral("quillmere-gnome-probe");
  bool found = false;
  {
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    if (bus.isConnected() && bus.interface() != nullptr) {
      found = bus.interface()->isServiceRegistered(QStringLiteral("org.gnome.Shell")).value();
    }
  }
  QDBusConnection::disconnectFromBus(name);
  return found;
}

int runOnGnome() {
  return runOnThisSession([]() -> std::optional<SessionBackend> {
    auto backend = std::make_unique<gnome::GnomePlatform>();
    gnome::GnomePlatform& gnome = *backend;
    return SessionBackend{std::move(backend), [&gnome] { gnome.deliverSuperB(); },
                          [&gnome] { return gnome.exitCode(); }};
  });
}

}  // namespace platform::entry
