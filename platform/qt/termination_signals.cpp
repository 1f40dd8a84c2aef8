#include "platform/qt/termination_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace platform::qt {

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void writeSignalByte(int /*signal*/) {
  const char byte = 1;
  // Async-signal-safe; a full pipe already holds a pending wake-up.
  [[maybe_unused]] ssize_t written = ::write(signalPipe[0], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
    return;
  }
  notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char buffer[16];
    while (::read(signalPipe[1], buffer, sizeof buffer) > 0) {
    }
    if (onSignal_) onSignal_();
  });

  struct sigaction action = {};
  action.sa_handler = writeSignalByte;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
  if (notifier_ == nullptr) return;
  // A newer instance may own the pipe by now; leave its ends alone.
  if (signalPipe[1] != static_cast<int>(notifier_->socket())) return;
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  for (int& fd : signalPipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

}  // namespace platform::qt
