#include "platform/wayland/sway_ipc_client.h"

#include <QLocalSocket>
#include <QTimer>

namespace platform::wayland {

SwayIpcClient::SwayIpcClient(ProcessId ownPid, std::function<void(WorkspaceNotification)> post,
                             QObject* parent)
    : QObject(parent), cache_(ownPid), post_(std::move(post)) {
  const QByteArray path = qgetenv("SWAYSOCK");
  if (path.isEmpty()) return;
  socket_ = new QLocalSocket(this);
  connect(socket_, &QLocalSocket::connected, this, [this] { apply(cache_.start()); });
  connect(socket_, &QLocalSocket::readyRead, this, &SwayIpcClient::readMessages);
  connect(socket_, &QLocalSocket::disconnected, this, &SwayIpcClient::drop);
  connect(socket_, &QLocalSocket::errorOccurred, this, &SwayIpcClient::drop);
  socket_->connectToServer(QString::fromLocal8Bit(path));
}

SwayIpcClient::~SwayIpcClient() = default;

void SwayIpcClient::watchLayout(std::function<bool()> wanted) {
  constexpr int kLayoutCheckMs = 1000;
  layoutWanted_ = std::move(wanted);
  if (layoutTimer_ == nullptr) {
    layoutTimer_ = new QTimer(this);
    connect(layoutTimer_, &QTimer::timeout, this, [this] {
      if (socket_ != nullptr && layoutWanted_ && layoutWanted_()) apply(cache_.checkLayout());
    });
    layoutTimer_->start(kLayoutCheckMs);
  }
}

void SwayIpcClient::readMessages() {
  while (socket_ != nullptr && socket_->bytesAvailable() > 0) {
    const QByteArray bytes = socket_->readAll();
    reader_.append(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    while (auto message = reader_.next()) apply(cache_.handle(*message));
    if (reader_.failed()) return drop();
  }
}

void SwayIpcClient::apply(const SwayWindowCache::Step& step) {
  if (socket_ != nullptr && !step.send.empty()) {
    socket_->write(step.send.data(), qint64(step.send.size()));
  }
  for (WorkspaceNotification name : step.notifications) post_(name);
  if (step.exposureChanged && exposure_) exposure_();
}

// The compositor's own connection decides whether we go on; without IPC there is simply no
// window list.
void SwayIpcClient::drop() {
  if (socket_ == nullptr) return;
  cache_.reset();
  socket_->disconnect(this);
  socket_->abort();
  socket_->deleteLater();
  socket_ = nullptr;
}

}  // namespace platform::wayland
