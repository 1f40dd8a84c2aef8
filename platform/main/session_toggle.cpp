#include "platform/main/session_toggle.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/entry.h"
#include "platform/qt/session_instance.h"
#include "platform/qt/session_toggle_request.h"

namespace platform::entry {

namespace {

// How long --toggle waits for the running instance to answer.
constexpr std::chrono::milliseconds kToggleAnswerTimeout{1000};

}  // namespace

const char* environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

std::optional<qt::SessionPaths> thisSessionsPaths() {
  const char* runtimeDir = environmentValue("XDG_RUNTIME_DIR");
  const char* display = environmentValue("WAYLAND_DISPLAY");
  if (runtimeDir == nullptr || display == nullptr) return std::nullopt;
  return qt::sessionPaths(runtimeDir, display);
}

SessionToggle toggleThisSession() {
  const auto paths = thisSessionsPaths();
  if (!paths) return SessionToggle::notRunning;
  switch (qt::sendSessionToggle(paths->socket, kToggleAnswerTimeout)) {
    case qt::SessionToggleResult::delivered:
      return SessionToggle::delivered;
    case qt::SessionToggleResult::notRunning:
      return SessionToggle::notRunning;
    case qt::SessionToggleResult::noAnswer:
      return SessionToggle::noAnswer;
  }
  return SessionToggle::noAnswer;
}

int runOnThisSession(const std::function<std::optional<SessionBackend>()>& makeBackend) {
  // Without a runtime directory there is no lock and no socket: Quillmere still runs.
  std::optional<qt::SessionInstance> instance;
  if (const auto paths = thisSessionsPaths()) {
    instance.emplace(*paths);
    switch (instance->acquire()) {
      case qt::SessionInstance::Result::alreadyRunning:
        std::fprintf(stderr, "quillmere: already running on Wayland display \"%s\"\n",
                     environmentValue("WAYLAND_DISPLAY"));
        return 0;
      case qt::SessionInstance::Result::unavailable:
        instance.reset();
        break;
      case qt::SessionInstance::Result::acquired:
        break;
    }
  }

  // Qt's own windows (the alert) and its view of the monitors come from the compositor.
  qputenv("QT_QPA_PLATFORM", "wayland");
  int qtArgc = 1;
  char programName[] = "quillmere";
  char* qtArgv[] = {programName, nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Quillmere"));

  std::optional<SessionBackend> backend = makeBackend();
  if (!backend) return 1;
  installPlatform(std::move(backend->platform));
  if (instance) instance->listen(backend->toggle);
  // Qt ends the process with exit(1) when its own Wayland connection breaks. End it there and
  // then, before the process-wide delegate and backend are torn down while Qt still runs.
  std::atexit([] {
    std::fflush(nullptr);
    std::_Exit(1);
  });
  quillmere::runQuillmere();

  const int status = backend->exitCode();
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace platform::entry
