#include "platform/main/gnome_entry.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "app/entry.h"
#include "platform/gnome/gnome_platform.h"
#include "platform/main/session_toggle.h"
#include "platform/platform.h"
#include "platform/qt/session_instance.h"

namespace platform::entry {

namespace {

const char* environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

// A connection of its own, dropped after the one question, before any application object.
bool gnomeBackendAvailable() {
  if (environment("WAYLAND_DISPLAY") == nullptr) return false;
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
  const char* display = environment("WAYLAND_DISPLAY");
  // Without a runtime directory there is no lock and no socket: Quillmere still runs.
  std::optional<qt::SessionInstance> instance;
  if (const auto paths = thisSessionsPaths()) {
    instance.emplace(*paths);
    switch (instance->acquire()) {
      case qt::SessionInstance::Result::alreadyRunning:
        std::fprintf(stderr, "quillmere: already running on Wayland display \"%s\"\n", display);
        return 0;
      case qt::SessionInstance::Result::unavailable:
        instance.reset();
        break;
      case qt::SessionInstance::Result::acquired:
        break;
    }
  }

  // Qt's own windows (the alert) and its view of the monitors come from GNOME Shell itself.
  qputenv("QT_QPA_PLATFORM", "wayland");
  int qtArgc = 1;
  char programName[] = "quillmere";
  char* qtArgv[] = {programName, nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Quillmere"));

  auto backend = std::make_unique<gnome::GnomePlatform>();
  gnome::GnomePlatform& gnomeBackend = *backend;
  installPlatform(std::move(backend));
  if (instance) instance->listen([&gnomeBackend] { gnomeBackend.deliverSuperB(); });
  // Qt ends the process with exit(1) when its own Wayland connection breaks. End it there and
  // then, before the process-wide delegate and backend are torn down while Qt still runs.
  std::atexit([] {
    std::fflush(nullptr);
    std::_Exit(1);
  });
  quillmere::runQuillmere();

  const int status = gnomeBackend.exitCode();
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace platform::entry
