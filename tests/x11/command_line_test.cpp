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

TEST(CommandLine, EachOptionChoosesItsAction) {
  const struct {
    std::vector<const char*> arguments;
    CommandAction action;
  } cases[] = {
      {{}, CommandAction::run},
      {{"-h"}, CommandAction::help},
      {{"--help"}, CommandAction::help},
      {{"--version"}, CommandAction::version},
      {{"--toggle"}, CommandAction::toggle},
      {{"--toggle", "--toggle"}, CommandAction::toggle},
      {{"-h", "--help"}, CommandAction::help},
  };
  for (const auto& c : cases) {
    const CommandLine line = parse(c.arguments);
    EXPECT_EQ(line.action, c.action) << (c.arguments.empty() ? "" : c.arguments[0]);
    EXPECT_EQ(line.error, "");
  }
}

TEST(CommandLine, AnythingElseIsAUsageErrorThatNamesIt) {
  const struct {
    std::vector<const char*> arguments;
    std::string error;
  } cases[] = {
      {{"--togle"}, "unknown option '--togle'"},
      {{"--toggle", "--verbose"}, "unknown option '--verbose'"},
      {{"-platform", "offscreen"}, "unknown option '-platform'"},
      {{"-display", ":1"}, "unknown option '-display'"},
      {{"--help=all"}, "unknown option '--help=all'"},
      {{"-H"}, "unknown option '-H'"},
      {{"--"}, "unknown option '--'"},
      {{"-"}, "unexpected argument '-'"},
      {{"toggle"}, "unexpected argument 'toggle'"},
      {{""}, "unexpected argument ''"},
      {{"--version", "--toggle"}, "the options --version and --toggle cannot be combined"},
      {{"--toggle", "-h"}, "the options --toggle and --help cannot be combined"},
  };
  for (const auto& c : cases) {
    const CommandLine line = parse(c.arguments);
    EXPECT_EQ(line.action, CommandAction::usageError) << c.error;
    EXPECT_EQ(line.error, c.error);
  }
}

TEST(CommandLine, BackendGoesWithAnyActionAndTakesOnlyKnownNames) {
  const struct {
    std::vector<const char*> arguments;
    CommandAction action;
    BackendChoice backend;
    std::string error;
  } cases[] = {
      {{}, CommandAction::run, BackendChoice::automatic, ""},
      {{"--backend=x11"}, CommandAction::run, BackendChoice::x11, ""},
      {{"--backend=wayland", "--toggle"}, CommandAction::toggle, BackendChoice::wayland, ""},
      {{"--toggle", "--backend=x11", "--backend=x11"},
       CommandAction::toggle,
       BackendChoice::x11,
       ""},
      {{"--backend=x11", "--backend=wayland"},
       CommandAction::usageError,
       BackendChoice::automatic,
       "the backends x11 and wayland cannot be combined"},
      {{"--backend=X11"},
       CommandAction::usageError,
       BackendChoice::automatic,
       "unknown backend 'X11': choose x11 or wayland"},
      {{"--backend="},
       CommandAction::usageError,
       BackendChoice::automatic,
       "unknown backend '': choose x11 or wayland"},
      {{"--backend", "x11"},
       CommandAction::usageError,
       BackendChoice::automatic,
       "the option --backend needs a value: --backend=x11 or --backend=wayland"},
      {{"--backends=x11"},
       CommandAction::usageError,
       BackendChoice::automatic,
       "unknown option '--backends=x11'"},
  };
  for (const auto& c : cases) {
    const CommandLine line = parse(c.arguments);
    EXPECT_EQ(line.action, c.action) << c.error;
    EXPECT_EQ(line.backend, c.backend) << c.error;
    EXPECT_EQ(line.error, c.error);
  }
}

TEST(CommandLine, HelpNamesEveryOptionTheKeysAndTheReadme) {
  const std::string help = helpText("/usr/local/share/doc/quillmere/README.md");
  for (const char* expected : {"Usage: quillmere [OPTION]", "-h, --help", "--version", "--toggle",
                               "Super+B", "shake", "--backend=x11|wayland", "Blur, Pixelate or Dim",
                               "/usr/local/share/doc/quillmere/README.md", "quillmere(1)"}) {
    EXPECT_NE(help.find(expected), std::string::npos) << expected;
  }
  std::size_t start = 0;
  while (start < help.size()) {
    const std::size_t end = help.find('\n', start);
    ASSERT_NE(end, std::string::npos) << "the help ends with a newline";
    EXPECT_LE(end - start, 78u) << help.substr(start, end - start);
    start = end + 1;
  }
  EXPECT_EQ(usageHint(),
            "Usage: quillmere [--toggle | --help | --version] [--backend=x11|wayland]; "
            "quillmere --help tells more.");
  EXPECT_EQ(versionText("1.0.0"), "quillmere 1.0.0");
}

}  // namespace
}  // namespace platform
