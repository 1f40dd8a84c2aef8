#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillmere::test {

// The environment of a process that a desktop test starts, from an allow-list: the search
// path, a language, HOME and the XDG directories in a temporary directory of its own that goes
// with this object, and a bus address where no bus listens (without any, libdbus would start a
// bus through X11 autolaunch). Nothing else of the caller's environment is passed on: no
// display, no bus, none of Qt's scale, input method or theme settings, no desktop name.
class PrivateEnvironment final {
 public:
  PrivateEnvironment();
  ~PrivateEnvironment();
  PrivateEnvironment(const PrivateEnvironment&) = delete;
  PrivateEnvironment& operator=(const PrivateEnvironment&) = delete;

  void set(const std::string& name, const std::string& value);
  // NAME=value lines, as execve takes them.
  std::vector<std::string> entries() const;
  // Makes these variables the whole environment of this process, for a test that runs Qt
  // itself; they hold until this object goes.
  void applyToThisProcess() const;

 private:
  std::string root_;
  std::vector<std::pair<std::string, std::string>> variables_;
};

}  // namespace quillmere::test
