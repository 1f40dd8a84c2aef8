#include "quillmere_launch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace quillmere::test {

QuillmereLaunch::QuillmereLaunch(
    const std::string& displayName,
    const std::vector<std::pair<std::string, std::string>>& extraEnvironment) {
  environment_.set("DBUS_SESSION_BUS_ADDRESS",
                   "unix:path=" + environment_.get("XDG_RUNTIME_DIR") + "/no-bus");
  environment_.set("DISPLAY", displayName);
  for (const auto& [name, value] : extraEnvironment) environment_.set(name, value);
  std::vector<std::string> environment = environment_.entries();
  std::vector<char*> env;
  for (std::string& entry : environment) env.push_back(entry.data());
  env.push_back(nullptr);
  std::string program = QUILLMERE_BINARY;
  char* argv[] = {program.data(), nullptr};

  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // it goes with the test, also when the test crashes
    if (getppid() != parent) _exit(127);
    if (devNull >= 0) {
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
    }
    execve(argv[0], argv, env.data());
    _exit(127);
  }
  if (devNull >= 0) close(devNull);
}

QuillmereLaunch::~QuillmereLaunch() {
  stop();
}

bool QuillmereLaunch::running() const {
  return pid_ > 0 && kill(pid_, 0) == 0;
}

int QuillmereLaunch::stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 500; ++i) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return -1;
}

}  // namespace quillmere::test
