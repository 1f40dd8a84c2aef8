#include "platform/main/session_toggle.h"

#include <chrono>
#include <cstdlib>

#include "platform/qt/session_toggle_request.h"

namespace platform::entry {

namespace {

// How long --toggle waits for the running instance to answer.
constexpr std::chrono::milliseconds kToggleAnswerTimeout{1000};

const char* environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

std::optional<qt::SessionPaths> thisSessionsPaths() {
  const char* runtimeDir = environment("XDG_RUNTIME_DIR");
  const char* display = environment("WAYLAND_DISPLAY");
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

}  // namespace platform::entry
