#pragma once

#include <string>
#include <string_view>

namespace platform {

// What the program was asked to do on its command line.
enum class CommandAction { run, help, version, toggle, usageError };

// Which desktop backend runs, or which session --toggle asks: automatic picks Wayland where the
// compositor offers layer-shell, GNOME Shell's extension where GNOME Shell is the compositor,
// X11 elsewhere.
enum class BackendChoice { automatic, x11, wayland, gnome };

struct CommandLine {
  CommandAction action = CommandAction::run;
  BackendChoice backend = BackendChoice::automatic;
  // For a usage error: the one line that names what was wrong.
  std::string error;
};

// Reads the arguments after the program name. Every argument must be one of the options;
// anything else, the toolkit's own options included, is a usage error. Two different actions
// are a usage error too; the same option twice is not. --backend=NAME goes with any action;
// two different names are a usage error.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The text that --help prints: what Quillmere does, the options, the keys and the gesture, and
// where the README is.
std::string helpText(std::string_view readmePath);

// The line that follows a usage error.
std::string usageHint();

// "quillmere <version>".
std::string versionText(std::string_view version);

}  // namespace platform
