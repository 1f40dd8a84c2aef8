#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "private_environment.h"

namespace quillmere::test {

// The window manager and the compositor of the desktop tests, without the user's settings:
// openbox, and picom drawing with XRender.
inline const std::vector<std::string> kWindowManager{"openbox", "--config-file",
                                                     "/etc/xdg/openbox/rc.xml"};
inline const std::vector<std::string> kCompositor{"picom", "--backend", "xrender", "--config",
                                                  "/dev/null"};

// Starts a program with exactly this environment and its output dropped; it goes with the test,
// also when the test crashes.
pid_t spawn(const std::vector<std::string>& argv, const PrivateEnvironment& environment);
// Sends SIGTERM and waits for the process as long as the patience lasts, then kills it
// outright; its exit status, or -1 when it did not end normally in time.
int endProcess(pid_t pid, std::chrono::milliseconds patience);

// A virtual X server of our own, with the helper programs that run on it. Each of them gets
// the private environment with this display in it; nothing of this process's own environment,
// its display included, is passed on.
class PrivateDisplay final {
 public:
  PrivateDisplay(int width, int height);
  ~PrivateDisplay();
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;

  bool running() const { return !name_.empty(); }
  const std::string& name() const { return name_; }
  PrivateEnvironment& environment() { return environment_; }

  // Runs a program on this display and waits for it; true when it exited with status 0.
  bool run(const std::vector<std::string>& argv) const;
  // Starts a program on this display and keeps it until stop() or the end.
  pid_t start(const std::vector<std::string>& argv);
  // Ends it as endProcess() does, with five seconds' patience; its exit status.
  int stop(pid_t pid);
  // Ends the server itself, as a crash would.
  void killServer();

 private:
  PrivateEnvironment environment_;
  pid_t server_ = -1;
  std::string name_;
  std::vector<pid_t> helpers_;
};

}  // namespace quillmere::test
