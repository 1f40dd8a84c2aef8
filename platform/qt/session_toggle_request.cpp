#include "platform/qt/session_toggle_request.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/qt/session_channel.h"

namespace platform::qt {

namespace {

// Closes the descriptor however the request ends.
class Descriptor final {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

SessionToggleResult sendSessionToggle(const std::string& socketPath,
                                      std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  sockaddr_un address = {};
  if (socketPath.size() >= sizeof address.sun_path) return SessionToggleResult::notRunning;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);

  const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (socket.get() < 0) return SessionToggleResult::notRunning;
  // A listener's backlog takes the connection at once, even from a stopped instance.
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return SessionToggleResult::notRunning;
  }
  if (::send(socket.get(), kToggleRequest.data(), kToggleRequest.size(), MSG_NOSIGNAL) !=
      ssize_t(kToggleRequest.size())) {
    return SessionToggleResult::noAnswer;
  }

  std::string received;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return SessionToggleResult::noAnswer;
    pollfd waiting{socket.get(), POLLIN, 0};
    const int ready = ::poll(&waiting, 1, int(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return SessionToggleResult::noAnswer;
    char buffer[kMaxMessageBytes];
    const ssize_t count = ::recv(socket.get(), buffer, kMaxMessageBytes - received.size(), 0);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return SessionToggleResult::noAnswer;
    received.append(buffer, std::size_t(count));
    switch (matchMessage(received, kToggleAnswer)) {
      case MessageState::incomplete:
        continue;
      case MessageState::complete:
        return SessionToggleResult::delivered;
      case MessageState::refused:
        return SessionToggleResult::noAnswer;
    }
  }
}

}  // namespace platform::qt
