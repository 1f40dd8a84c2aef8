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
#ifdef QUILLMERE_HAVE_GNOME
#include "platform/main/gnome_entry.h"
#endif
#if defined(QUILLMERE_HAVE_WAYLAND) || defined(QUILLMERE_HAVE_GNOME)
#include "platform/main/session_toggle.h"
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

// --backend=gnome where it cannot run.
int gnomeUnavailable() {
  if (waylandDisplay() == nullptr) {
    std::fputs("quillmere: no Wayland display: WAYLAND_DISPLAY is not set\n", stderr);
  } else {
    std::fputs("quillmere: GNOME Shell is not running on this session bus\n", stderr);
  }
  return 1;
}

bool waylandSessionBackend(platform::BackendChoice backend) {
  return backend == platform::BackendChoice::wayland || backend == platform::BackendChoice::gnome;
}

// This session's socket first, then the X display's selection, unless --backend names one.
int requestToggle(platform::BackendChoice backend) {
#if defined(QUILLMERE_HAVE_WAYLAND) || defined(QUILLMERE_HAVE_GNOME)
  using platform::entry::SessionToggle;
  if (backend != platform::BackendChoice::x11 && waylandDisplay() != nullptr) {
    switch (platform::entry::toggleThisSession()) {
      case SessionToggle::delivered:
        return 0;
      case SessionToggle::noAnswer:
        std::fprintf(stderr, "quillmere: the Quillmere on Wayland display \"%s\" did not answer\n",
                     waylandDisplay());
        return 1;
      case SessionToggle::notRunning:
        if (waylandSessionBackend(backend) || xDisplay() == nullptr) {
          std::fprintf(stderr, "quillmere: Quillmere is not running on Wayland display \"%s\"\n",
                       waylandDisplay());
          return 1;
        }
        break;
    }
  }
#endif
  if (backend == platform::BackendChoice::wayland) return waylandUnavailable();
  if (backend == platform::BackendChoice::gnome) return gnomeUnavailable();
  return platform::entry::toggleOnX11();
}

// Wayland where the compositor offers layer-shell, GNOME Shell's extension where GNOME Shell is
// the compositor, X11 elsewhere.
int run(platform::BackendChoice backend) {
  using platform::BackendChoice;
#ifdef QUILLMERE_HAVE_WAYLAND
  if ((backend == BackendChoice::automatic || backend == BackendChoice::wayland) &&
      platform::entry::waylandBackendAvailable()) {
    return platform::entry::runOnWayland();
  }
#endif
#ifdef QUILLMERE_HAVE_GNOME
  if ((backend == BackendChoice::automatic || backend == BackendChoice::gnome) &&
      platform::entry::gnomeBackendAvailable()) {
    return platform::entry::runOnGnome();
  }
#endif
  if (backend == BackendChoice::wayland) return waylandUnavailable();
  if (backend == BackendChoice::gnome) return gnomeUnavailable();
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
