#include "private_display.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace quillmere::test {
namespace {

int endProcess(pid_t pid, std::chrono::milliseconds patience) {
  if (pid <= 0) return -1;
  kill(pid, SIGTERM);
  constexpr std::chrono::milliseconds kStep(10);
  for (std::chrono::milliseconds waited(0); waited < patience; waited += kStep) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(kStep);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

}  // namespace

PrivateDisplay::PrivateDisplay(int width, int height) {
  const char* path = std::getenv("PATH");
  environment_ = {
      {"PATH", path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin"},
      {"LANG", "C.UTF-8"}};
  std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  root_ = pattern;
  // The runtime directory must be private to its owner; the others may as well be.
  for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                           "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
    environment_[name] = root_ + "/" + name;
    mkdir(environment_[name].c_str(), 0700);
  }
  environment_["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + root_ + "/XDG_RUNTIME_DIR/no-bus";

  int fds[2];
  if (pipe(fds) != 0) return;
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);  // only the write end goes to the server
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  server_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                   "-nolisten", "tcp", "-noreset"});
  close(fds[1]);
  std::string number;
  char c = 0;
  while (server_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) {
    name_ = ":" + number;
    environment_["DISPLAY"] = name_;
  }
}

PrivateDisplay::~PrivateDisplay() {
  for (pid_t pid : helpers_) endProcess(pid, std::chrono::seconds(1));
  endProcess(server_, std::chrono::seconds(1));
  std::error_code ignored;
  if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

void PrivateDisplay::applyEnvironmentToThisProcess() const {
  clearenv();
  for (const auto& [name, value] : environment_) setenv(name.c_str(), value.c_str(), 1);
}

pid_t PrivateDisplay::spawn(const std::vector<std::string>& argv) const {
  std::vector<std::string> envStrings, args = argv;
  for (const auto& [name, value] : environment_) envStrings.push_back(name + "=" + value);
  std::vector<char*> env, rawArgs;
  for (auto& s : envStrings) env.push_back(s.data());
  for (auto& a : args) rawArgs.push_back(a.data());
  env.push_back(nullptr);
  rawArgs.push_back(nullptr);

  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    if (devNull >= 0) {
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
    }
    execvpe(rawArgs[0], rawArgs.data(), env.data());
    _exit(127);
  }
  if (devNull >= 0) close(devNull);
  return pid;
}

bool PrivateDisplay::run(const std::vector<std::string>& argv) const {
  const pid_t pid = spawn(argv);
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

pid_t PrivateDisplay::start(const std::vector<std::string>& argv) {
  const pid_t pid = spawn(argv);
  if (pid > 0) helpers_.push_back(pid);
  return pid;
}

int PrivateDisplay::stop(pid_t pid) {
  std::erase(helpers_, pid);
  return endProcess(pid, std::chrono::seconds(5));
}

}  // namespace quillmere::test
