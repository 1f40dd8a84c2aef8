#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "platform/qt/session_channel.h"

class QSocketNotifier;

namespace platform::qt {

// Makes sure one Quillmere runs per Wayland session, and takes --toggle requests for it: the
// first instance holds a lock on a file in the runtime directory for as long as it lives and
// listens on a Unix socket beside it. What arrives there is hostile: a connection may send the
// one request and nothing else, within a second, or it is closed unheard.
class SessionInstance final : public QObject {
  Q_OBJECT

 public:
  enum class Result { acquired, alreadyRunning, unavailable };

  explicit SessionInstance(SessionPaths paths, QObject* parent = nullptr);
  ~SessionInstance() override;
  SessionInstance(const SessionInstance&) = delete;
  SessionInstance& operator=(const SessionInstance&) = delete;

  // Takes the lock unless another process holds it. Needs no event loop.
  Result acquire();

  // Once acquired, with a Qt event loop: listens on the socket and calls onToggle for each
  // request, before the answer goes out. Without a socket nothing is heard, silently.
  void listen(std::function<void()> onToggle);

 private:
  struct Client;
  void accept();
  void readFrom(Client* client);
  void drop(Client* client);

  SessionPaths paths_;
  int lockFd_ = -1;
  int listenFd_ = -1;
  QSocketNotifier* listener_ = nullptr;
  std::function<void()> onToggle_;
  std::vector<std::unique_ptr<Client>> clients_;
};

}  // namespace platform::qt
