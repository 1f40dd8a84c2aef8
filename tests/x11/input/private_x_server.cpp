#include "private_x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quillmere::test {

namespace {
constexpr int kStartTimeoutMs = 10000;
}  // namespace

PrivateXServer::PrivateXServer() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    close(fds[0]);
    // Only the pipe's write end is handed on, without close-on-exec.
    const int fd = dup(fds[1]);
    const std::string fdText = std::to_string(fd);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
    }
    execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-noreset", "-nolisten", "tcp", "-screen",
           "0", "1280x800x24", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid_ < 0) {
    close(fds[0]);
    return;
  }
  // Xvfb writes the display number it chose, then a newline, once it accepts connections.
  std::string number;
  pollfd readable{fds[0], POLLIN, 0};
  while (poll(&readable, 1, kStartTimeoutMs) > 0) {
    char c = 0;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number.push_back(c);
  }
  close(fds[0]);
  if (!number.empty()) displayName_ = ":" + number;
}

PrivateXServer::~PrivateXServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

void PrivateXServer::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

}  // namespace quillmere::test
