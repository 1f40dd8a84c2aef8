// The command line, one argument per NUL-separated part.
#include "platform/command_line.h"
#include "tests/fuzz/fuzz_input.h"

FUZZ_ENTRY {
  const std::vector<std::string> arguments = fuzz::split(data, size, '\0');
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  platform::parseCommandLine(int(arguments.size()), argv.data());
  return 0;
}
