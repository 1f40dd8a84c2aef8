#include "platform/wayland/kwin_overlay_stacking.h"

#include <QPointer>

#include "platform/wayland/kwin_script.h"
#include "platform/wayland/kwin_script_client.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_protocols.h"

namespace platform::wayland {

namespace {

// As on X11: at most one restack per interval, so that Quillmere never fights the compositor.
constexpr auto kRunInterval = std::chrono::milliseconds(100);

constexpr wl_callback_listener kSyncListener{
    [](void* data, wl_callback*, std::uint32_t) {
      static_cast<KWinOverlayStacking*>(data)->synced();
    },
};

}  // namespace

KWinOverlayStacking::KWinOverlayStacking(WaylandConnection& connection, KWinScriptClient& script,
                                         ProcessId ownPid, QObject* parent)
    : QObject(parent), connection_(connection), script_(script), ownPid_(ownPid) {
  interval_.setSingleShot(true);
  connect(&interval_, &QTimer::timeout, this, &KWinOverlayStacking::sync);
  connect(&connection_, &WaylandConnection::disconnecting, this, &KWinOverlayStacking::dropSync);
}

KWinOverlayStacking::~KWinOverlayStacking() {
  dropSync();
}

void KWinOverlayStacking::dropSync() {
  if (syncing_ != nullptr) wl_callback_destroy(syncing_);
  syncing_ = nullptr;
}

void KWinOverlayStacking::overlaysMoved(bool up) {
  wanted_ = up;
  if (syncing_ == nullptr && !running_ && !interval_.isActive()) sync();
}

void KWinOverlayStacking::overlayMapped() {
  again_ = true;
  overlaysMoved(true);
}

// The surfaces' commits went out before the sync; its answer says KWin has taken them.
void KWinOverlayStacking::sync() {
  if (!connection_.usable()) return;
  syncing_ = wl_display_sync(connection_.display());
  wl_callback_add_listener(syncing_, &kSyncListener, this);
  connection_.flush();
}

void KWinOverlayStacking::synced() {
  dropSync();
  tell();
}

void KWinOverlayStacking::tell() {
  if (wanted_ == told_ && !(again_ && wanted_)) return;
  const auto now = std::chrono::steady_clock::now();
  if (now < lastRun_ + kRunInterval) {
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(lastRun_ + kRunInterval - now);
    interval_.start(int(wait.count()) + 1);
    return;
  }
  lastRun_ = now;
  const bool up = wanted_;
  again_ = false;
  running_ = true;
  QString source = QString::fromUtf8(kKWinStackingScriptSource);
  source.replace(QLatin1String("@OWN_PID@"), QString::number(ownPid_));
  source.replace(QLatin1String("@FRONTMOST_PID@"),
                 QString::number(script_.frontmostPid().value_or(-1)));
  source.replace(QLatin1String("@UP@"), up ? QStringLiteral("true") : QStringLiteral("false"));
  // A run that KWin refused counts as told all the same: it is not tried again until the next
  // move, so that a KWin that keeps refusing is not asked ten times a second.
  script_.runOnce(source, [self = QPointer(this), up](bool) {
    if (!self) return;
    self->running_ = false;
    self->told_ = up;
    if (self->wanted_ != self->told_ || self->again_) self->sync();
  });
}

}  // namespace platform::wayland
