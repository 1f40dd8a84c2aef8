#include "platform/main/wayland_entry.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "app/entry.h"
#include "platform/main/session_toggle.h"
#include "platform/platform.h"
#include "platform/qt/session_instance.h"
#include "platform/wayland/layer_shell_probe.h"
#include "platform/wayland/wayland_backend.h"
#include "platform/wayland/wayland_platform.h"

namespace platform::entry {

namespace {

const char* environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

bool waylandBackendAvailable() {
  return environment("WAYLAND_DISPLAY") != nullptr && wayland::compositorOffersLayerShell();
}

int runOnWayland() {
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

  // Qt's own windows (the alert) go to the same compositor; the overlays have a connection of
  // their own.
  qputenv("QT_QPA_PLATFORM", "wayland");
  int qtArgc = 1;
  char programName[] = "quillmere";
  char* qtArgv[] = {programName, nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Quillmere"));

  auto backend = wayland::makeWaylandPlatform();
  if (!backend) {
    std::fprintf(stderr, "quillmere: the Wayland compositor on \"%s\" offers no layer-shell\n",
                 display);
    return 1;
  }
  auto& waylandBackend = static_cast<wayland::WaylandPlatform&>(*backend);
  installPlatform(std::move(backend));
  if (instance) instance->listen([&waylandBackend] { waylandBackend.deliverSuperB(); });
  // Qt ends the process with exit(1) when its own Wayland connection breaks. End it there and
  // then, before the process-wide delegate and backend are torn down while Qt still runs.
  std::atexit([] {
    std::fflush(nullptr);
    std::_Exit(1);
  });
  quillmere::runQuillmere();

  const int status = waylandBackend.exitCode();
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace platform::entry
