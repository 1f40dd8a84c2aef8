#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/command_line.h"
#include "platform/main/x11_entry.h"
#ifdef QUILLMERE_HAVE_WAYLAND
#include "platform/main/wayland_entry.h"
#endif

namespace {

constexpr int kUsageError = 2;

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

const char* waylandDisplay() {
  const char* value = std::getenv("WAYLAND_DISPLAY");
  return value != nullptr && *value != '\0' ? value : nullptr;
}

const char* xDisplay() {
  const char* value = std::getenv("DISPLAY");
  return value != nullptr && *value != '\0' ? value : nullptr;
}

// --backend=wayland where it cannot run: the one line that says why.
int waylandUnavailable() {
  if (waylandDisplay() == nullptr) {
    std::fputs("quillmere: no Wayland display: WAYLAND_DISPLAY is not set\n", stderr);
  } else {
    std::fprintf(stderr, "quillmere: no Wayland compositor with layer-shell on \"%s\"\n",
                 waylandDisplay());
  }
  return 1;
}

// This session's socket first, then the X display's selection, unless --backend names one.
int requestToggle(platform::BackendChoice backend) {
#ifdef QUILLMERE_HAVE_WAYLAND
  using platform::entry::WaylandToggle;
  if (backend != platform::BackendChoice::x11 && waylandDisplay() != nullptr) {
    switch (platform::entry::toggleOnWayland()) {
      case WaylandToggle::delivered:
        return 0;
      case WaylandToggle::noAnswer:
        std::fprintf(stderr, "quillmere: the Quillmere on Wayland display \"%s\" did not answer\n",
                     waylandDisplay());
        return 1;
      case WaylandToggle::notRunning:
        if (backend == platform::BackendChoice::wayland || xDisplay() == nullptr) {
          std::fprintf(stderr, "quillmere: Quillmere is not running on Wayland display \"%s\"\n",
                       waylandDisplay());
          return 1;
        }
        break;
    }
  }
#endif
  if (backend == platform::BackendChoice::wayland) return waylandUnavailable();
  return platform::entry::toggleOnX11();
}

// Wayland where the compositor offers layer-shell, X11 elsewhere (a GNOME or KDE Wayland
// session keeps Quillmere on XWayland, which says so in its alert).
int run(platform::BackendChoice backend) {
#ifdef QUILLMERE_HAVE_WAYLAND
  if (backend != platform::BackendChoice::x11 && platform::entry::waylandBackendAvailable()) {
    return platform::entry::runOnWayland();
  }
#endif
  if (backend == platform::BackendChoice::wayland) return waylandUnavailable();
  return platform::entry::runOnX11();
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
      return requestToggle(commandLine.backend);
    case platform::CommandAction::run:
      break;
  }
  return run(commandLine.backend);
}
