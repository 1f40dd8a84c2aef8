#include <QApplication>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/entry.h"
#include "platform/command_line.h"
#include "platform/platform.h"
#include "platform/x11/instance_lock.h"
#include "platform/x11/toggle_listener.h"
#include "platform/x11/toggle_request.h"
#include "platform/x11/x11_platform.h"

namespace {

constexpr int kUsageError = 2;
// How long --toggle waits for the running instance to answer.
constexpr std::chrono::milliseconds kToggleAnswerTimeout{1000};

// The installed README of the prefix the executable runs from, else the configured one.
std::string readmePath() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path beside =
        executable.parent_path().parent_path() / "share/doc/quillmere/README.md";
    if (std::filesystem::is_regular_file(beside, error)) return beside.lexically_normal();
  }
  return QUILLMERE_README_PATH;
}

int requestToggle(const char* display) {
  using platform::x11::ToggleResult;
  switch (platform::x11::sendToggleRequest(kToggleAnswerTimeout)) {
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

}  // namespace

int main(int argc, char** argv) {
  // A reader that went away must not kill us on the next diagnostic line.
  std::signal(SIGPIPE, SIG_IGN);

  // The options are read before any display or bus is touched.
  const platform::CommandLine commandLine = platform::parseCommandLine(argc, argv);
  switch (commandLine.action) {
    case platform::CommandAction::usageError:
      std::fprintf(stderr, "quillmere: %s\n%s\n", commandLine.error.c_str(),
                   platform::usageHint().c_str());
      return kUsageError;
    case platform::CommandAction::help:
      std::fputs(platform::helpText(readmePath()).c_str(), stdout);
      return 0;
    case platform::CommandAction::version:
      std::puts(platform::versionText(QUILLMERE_VERSION).c_str());
      return 0;
    case platform::CommandAction::toggle:
    case platform::CommandAction::run:
      break;
  }

  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::fputs("quillmere: no X display: DISPLAY is not set\n", stderr);
    return 1;
  }
  if (commandLine.action == platform::CommandAction::toggle) return requestToggle(display);

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

  // Qt would pick Wayland in a Wayland session. It sees no option of ours: only the name.
  qputenv("QT_QPA_PLATFORM", "xcb");
  int qtArgc = 1;
  char programName[] = "quillmere";
  char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : programName, nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Quillmere"));

  auto backend = std::make_unique<platform::x11::X11Platform>();
  platform::x11::X11Platform& x11 = *backend;
  platform::installPlatform(std::move(backend));
  platform::x11::ToggleListener toggles(instanceLock.connection(), instanceLock.ownerWindow(),
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
