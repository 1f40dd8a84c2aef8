#include "platform/qt/session_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace platform::qt {

namespace {

// A client that sends nothing useful is not kept longer than this.
constexpr int kClientDeadlineMs = 1000;
// More clients than this at once are turned away.
constexpr std::size_t kMaxClients = 4;

}  // namespace

struct SessionInstance::Client {
  int fd = -1;
  std::string received;
  QSocketNotifier* notifier = nullptr;
  QTimer* deadline = nullptr;
};

SessionInstance::SessionInstance(SessionPaths paths, QObject* parent)
    : QObject(parent), paths_(std::move(paths)) {}

SessionInstance::~SessionInstance() {
  while (!clients_.empty()) drop(clients_.back().get());
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(paths_.socket.c_str());
  }
  if (lockFd_ >= 0) ::close(lockFd_);
}

SessionInstance::Result SessionInstance::acquire() {
  lockFd_ = ::open(paths_.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lockFd_ < 0) return Result::unavailable;
  if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return Result::acquired;
  const bool held = errno == EWOULDBLOCK;
  ::close(lockFd_);
  lockFd_ = -1;
  return held ? Result::alreadyRunning : Result::unavailable;
}

void SessionInstance::listen(std::function<void()> onToggle) {
  if (lockFd_ < 0 || listenFd_ >= 0) return;
  onToggle_ = std::move(onToggle);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, paths_.socket.c_str(), paths_.socket.size() + 1);
  // Whoever left a socket here no longer holds the lock.
  ::unlink(paths_.socket.c_str());
  const mode_t previous = ::umask(0077);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::umask(previous);
  if (!bound || ::listen(fd, int(kMaxClients)) != 0) {
    ::close(fd);
    return;
  }
  listenFd_ = fd;
  listener_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(listener_, &QSocketNotifier::activated, this, [this] { accept(); });
}

void SessionInstance::accept() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (clients_.size() >= kMaxClients) {
      ::close(fd);
      continue;
    }
    auto client = std::make_unique<Client>();
    Client* raw = client.get();
    raw->fd = fd;
    raw->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(raw->notifier, &QSocketNotifier::activated, this, [this, raw] { readFrom(raw); });
    raw->deadline = new QTimer(this);
    raw->deadline->setSingleShot(true);
    connect(raw->deadline, &QTimer::timeout, this, [this, raw] { drop(raw); });
    raw->deadline->start(kClientDeadlineMs);
    clients_.push_back(std::move(client));
  }
}

void SessionInstance::readFrom(Client* client) {
  char buffer[kMaxMessageBytes];
  const std::size_t room = kMaxMessageBytes - client->received.size();
  const ssize_t count = ::recv(client->fd, buffer, room, 0);
  if (count < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (count <= 0) {
    drop(client);
    return;
  }
  client->received.append(buffer, std::size_t(count));
  switch (matchMessage(client->received, kToggleRequest)) {
    case MessageState::incomplete:
      return;
    case MessageState::refused:
      drop(client);
      return;
    case MessageState::complete:
      break;
  }
  // A client that already left gave up waiting: its late request toggles nothing. Anything
  // after the request is refused.
  char extra = 0;
  const ssize_t more = ::recv(client->fd, &extra, 1, MSG_PEEK | MSG_DONTWAIT);
  if (more < 0 && errno == EAGAIN) {
    if (onToggle_) onToggle_();
    [[maybe_unused]] const ssize_t sent =
        ::send(client->fd, kToggleAnswer.data(), kToggleAnswer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  }
  drop(client);
}

void SessionInstance::drop(Client* client) {
  const auto found = std::find_if(clients_.begin(), clients_.end(),
                                  [client](const auto& owned) { return owned.get() == client; });
  if (found == clients_.end()) return;
  // Either may be the sender whose signal is being handled.
  client->notifier->setEnabled(false);
  client->notifier->deleteLater();
  client->deadline->stop();
  client->deadline->deleteLater();
  ::close(client->fd);
  clients_.erase(found);
}

}  // namespace platform::qt
