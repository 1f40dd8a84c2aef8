#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

CommandLine parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "quillmere");
  return parseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

// Each line gives its action and backend, or a usage error that names what was wrong. No
// option, --help, --version, --toggle and a few errors run through the program in
// tests/x11/test_lifecycle.py.
TEST(CommandLine, ParsesEachOptionAndNamesWhatItRejects) {
  using enum CommandAction;
  using enum BackendChoice;
  const struct {
    std::vector<const char*> arguments;
    std::string error;
    CommandAction action = usageError;
    BackendChoice backend = automatic;
  } cases[] = {
      {{"-h"}, "", help},
      {{"-h", "--help"}, "", help},
      {{"--backend=x11"}, "", run, x11},
      {{"--backend=wayland", "--toggle"}, "", toggle, wayland},
      {{"--toggle", "--backend=x11", "--backend=x11"}, "", toggle, x11},
      {{"--togle"}, "unknown option '--togle'"},
      {{"--help=all"}, "unknown option '--help=all'"},
      {{"-H"}, "unknown option '-H'"},
      {{"--"}, "unknown option '--'"},
      {{"-"}, "unexpected argument '-'"},
      {{"toggle"}, "unexpected argument 'toggle'"},
      {{""}, "unexpected argument ''"},
      {{"--toggle", "-h"}, "the options --toggle and --help cannot be combined"},
      {{"--backend=gnome", "--backend=x11"}, "the backends gnome and x11 cannot be combined"},
      {{"--backend=X11"}, "unknown backend 'X11': choose x11, wayland or gnome"},
      {{"--backend="}, "unknown backend '': choose x11, wayland or gnome"},
      {{"--backend", "x11"},
       "the option --backend needs a value: --backend=x11, --backend=wayland or "
       "--backend=gnome"},
      {{"--backends=x11"}, "unknown option '--backends=x11'"},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const char* argument : c.arguments) shown += std::string(argument) + ' ';
    SCOPED_TRACE(shown);
    const CommandLine line = parse(c.arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.backend, c.backend);
    EXPECT_EQ(line.error, c.error);
  }
}

// What the help and the usage hint say goes through the program in test_lifecycle.py; here the
// README's place as given, and lines that fit a terminal.
TEST(CommandLine, HelpNamesTheReadmeGivenInLinesThatFitATerminal) {
  const std::string help = helpText("/opt/share/doc/quillmere/README.md");
  EXPECT_NE(help.find("/opt/share/doc/quillmere/README.md"), std::string::npos);
  std::size_t start = 0;
  while (start < help.size()) {
    const std::size_t end = help.find('\n', start);
    ASSERT_NE(end, std::string::npos) << "the help ends with a newline";
    EXPECT_LE(end - start, 78u) << help.substr(start, end - start);
    start = end + 1;
  }
}

}  // namespace
}  // namespace platform
