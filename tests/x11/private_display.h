#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace quillmere::test {

// The window manager and the compositor of the desktop tests, without the user's settings:
// openbox, and picom drawing with XRender.
inline const std::vector<std::string> kWindowManager{"openbox", "--config-file",
                                                     "/etc/xdg/openbox/rc.xml"};
inline const std::vector<std::string> kCompositor{"picom", "--backend", "xrender", "--config",
                                                  "/dev/null"};

// A virtual X server of our own, with the helper programs that run on it. Each of them gets an
// environment from an allow-list: the search path, a language, this display, HOME and the XDG
// directories in a temporary directory of its own that goes with this object, and a bus address
// where no bus listens (without any, libdbus would start a bus through X11 autolaunch). Nothing
// else of this process's environment is passed on: no display, no bus, none of Qt's scale,
// input method or theme settings, no desktop name. Each program goes with the test, also when
// the test crashes.
class PrivateDisplay final {
 public:
  PrivateDisplay(int width, int height);
  ~PrivateDisplay();
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;

  bool running() const { return !name_.empty(); }
  const std::string& name() const { return name_; }
  // The variables the programs get; a test may add to them before it starts one.
  std::map<std::string, std::string>& environment() { return environment_; }
  // Makes them the whole environment of this process, for a test that runs Qt itself; they
  // hold until this object goes.
  void applyEnvironmentToThisProcess() const;

  // Runs a program on this display and waits for it; true when it exited with status 0.
  bool run(const std::vector<std::string>& argv) const;
  // Starts a program on this display, its output dropped, and keeps it until stop() or the end.
  pid_t start(const std::vector<std::string>& argv);
  // Sends SIGTERM and waits five seconds at most, then kills it outright; its exit status, or
  // -1 when it did not end normally in time.
  int stop(pid_t pid);

 private:
  pid_t spawn(const std::vector<std::string>& argv) const;

  std::string root_;
  std::map<std::string, std::string> environment_;
  pid_t server_ = -1;
  std::string name_;
  std::vector<pid_t> helpers_;
};

}  // namespace quillmere::test
