#include "platform/wayland/wayland_platform.h"

#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/wayland/capture_scheduler.h"
#include "platform/wayland/kwin_overlay_stacking.h"
#include "platform/wayland/kwin_script_client.h"
#include "platform/wayland/overlay_registry.h"
#include "platform/wayland/overlay_window_peer.h"
#include "platform/wayland/status_item_peer.h"
#include "platform/wayland/sway_ipc_client.h"
#include "platform/wayland/wayland_connection.h"

namespace platform::wayland {

namespace {

// Overlay numbers start far above sway's container ids, which count up from 1, so that no
// overlay can be taken for another application's window or the other way round.
constexpr WindowNumber kFirstOverlayNumber = WindowNumber{1} << 40;

}  // namespace

WaylandPlatform::WaylandPlatform(std::unique_ptr<WaylandConnection> connection)
    : overlays_(std::make_shared<OverlayRegistry>()), nextWindowNumber_(kFirstOverlayNumber) {
  connection_ = connection.release();
  connection_->setParent(owner_.get());
  QObject::connect(connection_, &WaylandConnection::connectionLost, owner_.get(),
                   &exitForLostCompositor);
  windows_ = makeWindowSource();
  captures_ = new CaptureScheduler(*connection_, owner_.get());
  windows_->setExposureObserver([captures = captures_] { captures->exposureChanged(); });
  windows_->watchLayout([captures = captures_] { return captures->anyWantsBeneath(); });
}

WaylandPlatform::~WaylandPlatform() = default;

// sway's IPC where $SWAYSOCK names it; a script inside KWin where KWin owns its name on the
// session bus; else sway's client, which then has no socket and gives no window list.
WindowSource* WaylandPlatform::makeWindowSource() {
  const auto ownPid = static_cast<ProcessId>(getpid());
  auto post = [this](WorkspaceNotification name) { eventDispatch().inputWorkspaceChange(name); };
  if (qEnvironmentVariableIsEmpty("SWAYSOCK")) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() != nullptr &&
        bus.interface()->isServiceRegistered(QStringLiteral("org.kde.KWin"))) {
      kwin_ = new KWinScriptClient(
          ownPid, post, [this] { deliverSuperB(); }, owner_.get());
      connection_->setKWin(true);
      stacking_ = new KWinOverlayStacking(*connection_, *kwin_, ownPid, owner_.get());
      return kwin_;
    }
  }
  return new SwayIpcClient(ownPid, post, owner_.get());
}

void WaylandPlatform::exitForLostCompositor() {
  std::fputs("quillmere: the connection to the Wayland compositor was lost\n", stderr);
  std::fflush(nullptr);
  std::_Exit(1);
}

std::uint64_t WaylandPlatform::ipcRequestsSent() const {
  return windows_->requestsSent();
}

std::uint64_t WaylandPlatform::capturesRequested() const {
  return captures_->capturesRequested();
}

// --- Application -----------------------------------------------------------------------------

void WaylandPlatform::runEventLoop(const std::function<void()>& didFinishLaunching) {
  QTimer::singleShot(0, owner_.get(), [&didFinishLaunching] { didFinishLaunching(); });
  exitCode_ = QCoreApplication::exec();
  windows_->finish();
}

bool WaylandPlatform::setActivationPolicy(ApplicationActivationPolicy /*policy*/) {
  return true;  // layer surfaces show in no task list, and we make no other window
}

// --- Screens and windows ---------------------------------------------------------------------

std::vector<Rect> WaylandPlatform::screenFrames() {
  return connection_->screenFrames();
}

std::unique_ptr<WindowPeer> WaylandPlatform::createWindowPeer(Window& window) {
  return std::make_unique<OverlayWindowPeer>(window, connection_, overlays_, nextWindowNumber_++,
                                             captures_, stacking_);
}

// --- Workspace and window server -------------------------------------------------------------

std::optional<RunningApplication> WaylandPlatform::frontmostApplication() {
  const auto pid = windows_->frontmostPid();
  if (!pid) return std::nullopt;
  return RunningApplication{*pid};
}

// The compositor's windows front to back, then our overlays (which the core leaves out). Only
// on-screen windows are ever cached, so every option gives the same list. The list is made
// anew only when the compositor's windows or an overlay changed, so a quiet tick copies nothing.
std::shared_ptr<const WindowInfoList> WaylandPlatform::copyWindowInfo(std::uint32_t /*options*/,
                                                                      std::int64_t /*relative*/) {
  auto source = windows_->windowList();
  if (windowList_ && source == windowListSource_ &&
      overlays_->generation() == windowListGeneration_) {
    return windowList_;
  }
  auto list =
      source ? std::make_shared<WindowInfoList>(*source) : std::make_shared<WindowInfoList>();
  overlays_->appendRecords(*list, static_cast<ProcessId>(getpid()));
  windowList_ = std::move(list);
  windowListSource_ = std::move(source);
  windowListGeneration_ = overlays_->generation();
  return windowList_;
}

// --- Input and time --------------------------------------------------------------------------

// No Wayland client sees the pointer outside its own surfaces; the global monitors that would
// use it never fire.
Point WaylandPlatform::mouseLocation() {
  return Point{};
}

void WaylandPlatform::deliverSuperB() {
  eventDispatch().inputToggleRequest();
}

// --- Status menu, permission, alerts and notifications ---------------------------------------

std::unique_ptr<StatusItemPeer> WaylandPlatform::createStatusItemPeer(StatusItem& item) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  return makeStatusItemPeer(
      item, *connection_,
      [this](const Event& event) { return !eventDispatch().inputKeyDownInOwnWindow(event); },
      [this] { return windows_->focusedOutput(); });
}

// The overlays need nothing but layer-shell, which this backend is made only with; on KWin the
// window list needs the script as well, which KWin may refuse.
bool WaylandPlatform::isProcessTrusted(bool /*prompt*/) {
  constexpr int kScriptLoadMs = 2000;
  return kwin_ == nullptr || kwin_->waitUntilLoaded(kScriptLoadMs);
}

}  // namespace platform::wayland
