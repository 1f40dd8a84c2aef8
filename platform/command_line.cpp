#include "platform/command_line.h"

#include <array>
#include <optional>
#include <string>

namespace platform {

namespace {

struct Option {
  std::string_view longName;
  std::string_view shortName;  // empty when there is none
  CommandAction action;
  std::string_view description;
};

// Every option the program takes. An option that needs a value would name it here as well.
constexpr std::array<Option, 3> kOptions{{
    {"--toggle", "", CommandAction::toggle,
     "Toggle the effect of the Quillmere already running on this display, as Super+B does. "
     "Starts nothing when none runs."},
    {"--help", "-h", CommandAction::help, "Show this help and quit."},
    {"--version", "", CommandAction::version, "Show the version and quit."},
}};

// The option that names a backend; it takes its value after an equals sign.
constexpr std::string_view kBackendOption = "--backend";
constexpr std::string_view kBackendDescription =
    "Run on the X11, the Wayland or the GNOME Shell backend, or send --toggle to that session "
    "only. Without it, Quillmere runs on Wayland where WAYLAND_DISPLAY names a compositor with "
    "layer-shell (sway and other wlroots compositors, KWin), on GNOME Shell through its "
    "extension where WAYLAND_DISPLAY names GNOME Shell, and on X11 elsewhere.";

struct BackendName {
  std::string_view name;
  BackendChoice choice;
};
constexpr std::array<BackendName, 3> kBackendNames{{
    {"x11", BackendChoice::x11},
    {"wayland", BackendChoice::wayland},
    {"gnome", BackendChoice::gnome},
}};

std::string_view nameOf(BackendChoice choice) {
  for (const BackendName& backend : kBackendNames) {
    if (backend.choice == choice) return backend.name;
  }
  return {};
}

// The backend an argument names; nothing when it is not --backend at all; automatic with the
// error filled in when its value is missing or unknown.
std::optional<BackendChoice> readBackend(std::string_view argument, std::string& error) {
  if (argument.substr(0, kBackendOption.size()) != kBackendOption) return std::nullopt;
  const std::string_view rest = argument.substr(kBackendOption.size());
  if (rest.empty() || rest.front() != '=') {
    if (!rest.empty()) return std::nullopt;  // --backendx: an unknown option
    error =
        "the option --backend needs a value: --backend=x11, --backend=wayland or "
        "--backend=gnome";
    return BackendChoice::automatic;
  }
  const std::string_view value = rest.substr(1);
  for (const BackendName& backend : kBackendNames) {
    if (value == backend.name) return backend.choice;
  }
  error = "unknown backend '" + std::string(value) + "': choose x11, wayland or gnome";
  return BackendChoice::automatic;
}

const Option* findOption(std::string_view argument) {
  for (const Option& option : kOptions) {
    if (argument == option.longName || (!option.shortName.empty() && argument == option.shortName))
      return &option;
  }
  return nullptr;
}

// Wraps the words of the text at 78 columns, each line starting with the indent.
std::string wrapped(std::string_view text, std::string_view indent) {
  constexpr std::size_t kWidth = 78;
  std::string out;
  std::string line(indent);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    if (line.size() > indent.size() && line.size() + 1 + word.size() > kWidth) {
      out += line + '\n';
      line = indent;
    }
    if (line.size() > indent.size()) line += ' ';
    line += word;
    start = end + 1;
  }
  return out + line + '\n';
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine result;
  const Option* chosen = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
    std::string error;
    if (const auto backend = readBackend(argument, error)) {
      if (!error.empty()) return {CommandAction::usageError, BackendChoice::automatic, error};
      if (result.backend != BackendChoice::automatic && result.backend != *backend) {
        return {CommandAction::usageError, BackendChoice::automatic,
                "the backends " + std::string(nameOf(result.backend)) + " and " +
                    std::string(nameOf(*backend)) + " cannot be combined"};
      }
      result.backend = *backend;
      continue;
    }
    const Option* option = findOption(argument);
    if (option == nullptr) {
      const bool looksLikeOption = argument.size() > 1 && argument.front() == '-';
      return {CommandAction::usageError, BackendChoice::automatic,
              std::string(looksLikeOption ? "unknown option '" : "unexpected argument '") +
                  std::string(argument) + "'"};
    }
    if (chosen != nullptr && chosen->action != option->action) {
      return {CommandAction::usageError, BackendChoice::automatic,
              "the options " + std::string(chosen->longName) + " and " +
                  std::string(option->longName) + " cannot be combined"};
    }
    chosen = option;
  }
  if (chosen != nullptr) result.action = chosen->action;
  return result;
}

std::string usageHint() {
  std::string hint = "Usage: quillmere [";
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    if (i > 0) hint += " | ";
    hint += kOptions[i].longName;
  }
  return hint + "] [" + std::string(kBackendOption) +
         "=x11|wayland|gnome]; quillmere --help tells more.";
}

std::string helpText(std::string_view readmePath) {
  std::string text =
      "Usage: quillmere [OPTION]\n\n" +
      wrapped(
          "Quillmere lives in the system tray and covers every monitor with an overlay that "
          "blurs, pixelates or dims the desktop behind the window you are working in. With "
          "no option it starts, unless it already runs on this display.",
          "") +
      "\nOptions:\n";
  for (const Option& option : kOptions) {
    std::string names(option.longName);
    if (!option.shortName.empty()) names = std::string(option.shortName) + ", " + names;
    text += "  " + names + "\n" + wrapped(option.description, "      ");
  }
  text += "  " + std::string(kBackendOption) + "=x11|wayland|gnome\n" +
          wrapped(kBackendDescription, "      ");
  text += "\nKeys and gesture:\n" +
          wrapped(
              "Super+B, or a quick shake of the pointer, toggles the effect. The tray menu "
              "chooses Blur, Pixelate or Dim, sets the intensity and quits.",
              "  ") +
          "\n" +
          wrapped("More in the manual page quillmere(1) and in " + std::string(readmePath), "");
  return text;
}

std::string versionText(std::string_view version) {
  return "quillmere " + std::string(version);
}

}  // namespace platform
