#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/entry.h"
#include "platform/platform.h"
#include "platform/x11/instance_lock.h"
#include "platform/x11/x11_platform.h"

int main(int argc, char** argv) {
  // A reader that went away must not kill us on the next diagnostic line.
  std::signal(SIGPIPE, SIG_IGN);

  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::fputs("quillmere: no X display: DISPLAY is not set\n", stderr);
    return 1;
  }
  // Probed before Qt, which would abort on a display it cannot open.
  platform::x11::InstanceLock instanceLock;
  switch (instanceLock.acquire()) {
    case platform::x11::InstanceLock::Result::displayUnreachable:
      std::fprintf(stderr, "quillmere: cannot open the X display \"%s\"\n", display);
      return 1;
    case platform::x11::InstanceLock::Result::alreadyRunning:
      std::fprintf(stderr, "quillmere: already running on display \"%s\"\n", display);
      return 0;
    case platform::x11::InstanceLock::Result::acquired:
      break;
  }

  // Qt would pick Wayland in a Wayland session, and honour options meant for itself.
  qputenv("QT_QPA_PLATFORM", "xcb");
  int qtArgc = 1;
  char programName[] = "quillmere";
  char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : programName, nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Quillmere"));

  auto backend = std::make_unique<platform::x11::X11Platform>();
  platform::x11::X11Platform& x11 = *backend;
  platform::installPlatform(std::move(backend));
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
