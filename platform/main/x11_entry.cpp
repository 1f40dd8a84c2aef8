#include "platform/main/x11_entry.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/entry.h"
#include "platform/platform.h"
#include "platform/x11/instance_lock.h"
#include "platform/x11/toggle_listener.h"
#include "platform/x11/toggle_request.h"
#include "platform/x11/x11_platform.h"

namespace platform::entry {

namespace {

// How long --toggle waits for the running instance to answer.
constexpr std::chrono::milliseconds kToggleAnswerTimeout{1000};

// $DISPLAY, or null with a line on standard error when it is not set.
const char* displayOrComplain() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::fputs("quillmere: no X display: DISPLAY is not set\n", stderr);
    return nullptr;
  }
  return display;
}

}  // namespace

int toggleOnX11() {
  const char* display = displayOrComplain();
  if (display == nullptr) return 1;
  using x11::ToggleResult;
  switch (x11::sendToggleRequest(kToggleAnswerTimeout)) {
    case ToggleResult::delivered:
      return 0;
    case ToggleResult::displayUnreachable:
      std::fprintf(stderr, "quillmere: cannot open the X display \"%s\"\n", display);
      return 1;
    case ToggleResult::notRunning:
      std::fprintf(stderr, "quillmere: Quillmere is not running on display \"%s\"\n", display);
      return 1;
    case ToggleResult::noAnswer:
      std::fprintf(stderr, "quillmere: the Quillmere on display \"%s\" did not answer\n", display);
      return 1;
  }
  return 1;
}

int runOnX11() {
  const char* display = displayOrComplain();
  if (display == nullptr) return 1;

  // Probed before Qt, which would abort on a display it cannot open.
  x11::InstanceLock instanceLock;
  switch (instanceLock.acquire()) {
    case x11::InstanceLock::Result::displayUnreachable:
      std::fprintf(stderr, "quillmere: cannot open the X display \"%s\"\n", display);
      return 1;
    case x11::InstanceLock::Result::alreadyRunning:
      std::fprintf(stderr, "quillmere: already running on display \"%s\"\n", display);
      return 0;
    case x11::InstanceLock::Result::acquired:
      break;
  }

  // Qt would pick Wayland in a Wayland session. It sees no option of ours: only the name.
  qputenv("QT_QPA_PLATFORM", "xcb");
  int qtArgc = 1;
  char programName[] = "quillmere";
  char* qtArgv[] = {programName, nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Quillmere"));

  auto backend = std::make_unique<x11::X11Platform>();
  x11::X11Platform& x11 = *backend;
  installPlatform(std::move(backend));
  x11::ToggleListener toggles(instanceLock.connection(), instanceLock.ownerWindow(),
                              [&x11] { x11.deliverSuperB(); });
  // Qt ends the process with exit(1) when its own X connection breaks. End it there and then,
  // before the process-wide delegate and backend are torn down while Qt still runs. Every
  // other way out leaves through _Exit below.
  std::atexit([] {
    std::fflush(nullptr);
    std::_Exit(1);
  });
  quillmere::runQuillmere();

  // The delegate and the backend live in process-wide variables that would be destroyed
  // after the application object; nothing needs tearing down that the process end does not.
  const int status = x11.exitCode();
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace platform::entry
