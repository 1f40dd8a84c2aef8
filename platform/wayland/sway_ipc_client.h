#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "platform/wayland/sway_ipc_framing.h"
#include "platform/wayland/sway_window_cache.h"
#include "platform/wayland/window_source.h"

class QLocalSocket;
class QTimer;

namespace platform::wayland {

// sway's IPC on the socket that $SWAYSOCK names (no other is looked for): subscribes to window
// and workspace events and keeps the window cache current from them. Without the variable, or
// once the socket closes or sends something unreadable, the cache stays empty.
class SwayIpcClient final : public QObject, public WindowSource {
  Q_OBJECT

 public:
  SwayIpcClient(ProcessId ownPid, std::function<void(WorkspaceNotification)> post,
                QObject* parent = nullptr);

  std::shared_ptr<const WindowInfoList> windowList() const override { return cache_.windowList(); }
  std::optional<ProcessId> frontmostPid() const override { return cache_.frontmostPid(); }
  std::string focusedOutput() const override { return cache_.focusedOutput(); }
  std::uint64_t requestsSent() const override { return cache_.requestsSent(); }
  void setExposureObserver(std::function<void()> observer) override {
    exposure_ = std::move(observer);
  }
  // Looks at the layout once a second, while `wanted` answers true, for windows moved or
  // resized, which sway announces by no event.
  void watchLayout(std::function<bool()> wanted) override;
  ~SwayIpcClient() override;
  SwayIpcClient(const SwayIpcClient&) = delete;
  SwayIpcClient& operator=(const SwayIpcClient&) = delete;

  const SwayWindowCache& cache() const { return cache_; }

 private:
  void readMessages();
  void apply(const SwayWindowCache::Step& step);
  void drop();

  QLocalSocket* socket_ = nullptr;
  sway_ipc::MessageReader reader_;
  SwayWindowCache cache_;
  std::function<void(WorkspaceNotification)> post_;
  std::function<void()> exposure_;
  std::function<bool()> layoutWanted_;
  QTimer* layoutTimer_ = nullptr;
};

}  // namespace platform::wayland
