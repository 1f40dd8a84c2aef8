#include "platform/x11/x11_platform.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/x11/key_focus_watcher.h"
#include "platform/x11/overlay_window.h"
#include "platform/x11/window_server.h"
#include "platform/x11/xcb_reply.h"
#include "platform/x11/xwayland_detection.h"

#include "platform/x11/input/global_input.h"
#include "platform/x11/input/local_key_filter.h"
#include "platform/x11/paint/overlay_paint_engine.h"
#include "platform/x11/shell/tray_status_item.h"

namespace platform::x11 {

namespace {

// The monitors the server lists (RandR 1.5), or nothing when it has no such list. None at all
// means that no monitor is attached: Qt then shows a placeholder screen, which is not a screen.
std::optional<std::vector<PixelRect>> readMonitors(xcb_connection_t* c, xcb_window_t root) {
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
  if (randr == nullptr || randr->present == 0) return std::nullopt;
  xcb_generic_error_t* error = nullptr;
  auto version =
      takeReply(xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), &error), error);
  if (!version || (version->major_version == 1 && version->minor_version < 5)) return std::nullopt;
  auto monitors =
      takeReply(xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), &error), error);
  if (!monitors) return std::nullopt;
  std::vector<PixelRect> rects;
  for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
       xcb_randr_monitor_info_next(&it)) {
    rects.push_back(PixelRect{it.data->x, it.data->y, it.data->width, it.data->height});
  }
  return rects;
}

}  // namespace

X11Platform::X11Platform() {
  server_ = new WindowServer(owner_.get());
  QObject::connect(server_, &WindowServer::connectionLost, owner_.get(), &exitForLostDisplay);
  QObject::connect(server_, &WindowServer::frontmostApplicationChanged, owner_.get(), [this] {
    eventDispatch().inputWorkspaceChange(WorkspaceNotification::didActivateApplication);
  });
  QObject::connect(server_, &WindowServer::currentDesktopChanged, owner_.get(), [this] {
    eventDispatch().inputWorkspaceChange(WorkspaceNotification::activeSpaceDidChange);
  });
  // The monitors are asked for again only when Qt's list of screens changes.
  auto forgetMonitors = [this] { monitors_.reset(); };
  QObject::connect(qApp, &QGuiApplication::screenAdded, owner_.get(), forgetMonitors);
  QObject::connect(qApp, &QGuiApplication::screenRemoved, owner_.get(), forgetMonitors);
  QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, owner_.get(), forgetMonitors);

  const QByteArray displayName = qgetenv("DISPLAY");
  input_ = new GlobalInput(displayName, owner_.get());
  QObject::connect(input_, &GlobalInput::connectionLost, owner_.get(), &exitForLostDisplay);
  input_->setPointerMovedHandler([this](QPoint position) {
    eventDispatch().inputPointerMoved(screenGeometry().pointFromPixel(position.x(), position.y()));
  });
  input_->setKeyDownHandler(
      [this](const Event& event) { eventDispatch().inputKeyDownElsewhere(event); });
  localKeys_ = new LocalKeyFilter(owner_.get());
  localKeys_->setKeyDownHandler(
      [this](const Event& event) { return !eventDispatch().inputKeyDownInOwnWindow(event); });
  qApp->installEventFilter(localKeys_);
  focusWatcher_ = new KeyFocusWatcher(
      [this](bool ownWindowHasKeys) { input_->setKeysSuppressed(ownWindowHasKeys); }, owner_.get());
  paint_ = new OverlayPaintEngine(displayName, owner_.get());
  QObject::connect(paint_, &OverlayPaintEngine::connectionLost, owner_.get(), &exitForLostDisplay);
  QObject::connect(server_, &WindowServer::stackingChanged, paint_,
                   &OverlayPaintEngine::stackingDidChange);
}

X11Platform::~X11Platform() = default;

void X11Platform::exitForLostDisplay() {
  std::fputs("quillmere: the connection to the X display was lost\n", stderr);
  std::fflush(nullptr);
  std::_Exit(1);
}

// --- Application -----------------------------------------------------------------------------

void X11Platform::runEventLoop(const std::function<void()>& didFinishLaunching) {
  QTimer::singleShot(0, owner_.get(), [&didFinishLaunching] { didFinishLaunching(); });
  exitCode_ = QApplication::exec();
}

bool X11Platform::setActivationPolicy(ApplicationActivationPolicy /*policy*/) {
  // No main window and no taskbar entry is all a Qt application without windows shows.
  QApplication::setQuitOnLastWindowClosed(false);
  return true;
}

// --- Screens and windows ---------------------------------------------------------------------

ScreenGeometry X11Platform::screenGeometry() const {
  std::vector<ScreenLayout> layouts;
  std::size_t primary = 0;
  if (!monitors_) {
    monitors_ = server_->isConnected()
                    ? readMonitors(server_->connection(), server_->screen()->root)
                    : std::nullopt;
    // Windows off every monitor take no part in the levels.
    server_->setMonitors(*monitors_ ? **monitors_ : std::vector<PixelRect>{});
  }
  // Under XWayland no overlay may be made: it would cover the native windows it cannot see.
  if ((*monitors_ && (*monitors_)->empty()) || serverIsXwaylandOnce()) return ScreenGeometry({}, 0);
  const std::vector<PixelRect> none;
  const std::vector<PixelRect>& monitors = *monitors_ ? **monitors_ : none;
  const QScreen* primaryScreen = QGuiApplication::primaryScreen();
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->geometry().isEmpty()) continue;
    if (screen == primaryScreen) primary = layouts.size();
    const QRect frame = screen->geometry();
    layouts.push_back(screenLayoutFrom({frame.x(), frame.y(), frame.width(), frame.height()},
                                       screen->devicePixelRatio(), monitors));
  }
  return ScreenGeometry(std::move(layouts), primary);
}

std::vector<Rect> X11Platform::screenFrames() {
  return screenGeometry().frames();
}

std::unique_ptr<WindowPeer> X11Platform::createWindowPeer(Window& window) {
  OverlayContext context{server_, paint_, [this] { return screenGeometry(); }};
  return std::make_unique<OverlayWindowPeer>(window, std::move(context));
}

// --- Workspace and window server -------------------------------------------------------------

std::optional<RunningApplication> X11Platform::frontmostApplication() {
  if (!server_->isConnected()) return std::nullopt;
  return RunningApplication{server_->frontmostProcessId()};
}

std::shared_ptr<const WindowInfoList> X11Platform::copyWindowInfo(std::uint32_t options,
                                                                  std::int64_t /*relative*/) {
  return server_->windowList((options & kWindowListExcludeDesktopElements) != 0);
}

// --- Input and time --------------------------------------------------------------------------

Point X11Platform::mouseLocation() {
  if (auto delivered = eventDispatch().pointerDuringDelivery()) return *delivered;
  if (auto position = input_->queryPointer()) {
    return screenGeometry().pointFromPixel(position->x(), position->y());
  }
  const QPoint position = QCursor::pos();
  return screenGeometry().pointFromPixel(position.x(), position.y());
}

void X11Platform::deliverSuperB() {
  eventDispatch().inputToggleRequest();
}

std::optional<X11Platform::PaintCost> X11Platform::lastPaintCost() const {
  const OverlayPaintEngine::FrameCost cost = paint_->lastFrameCost();
  return PaintCost{cost.captureMs, cost.renderMs, cost.frames, paint_->compositorActive()};
}

// --- Status menu, permission, alerts and notifications ---------------------------------------

std::unique_ptr<StatusItemPeer> X11Platform::createStatusItemPeer(StatusItem& item) {
  return makeTrayStatusItemPeer(item);
}

// Global input can be observed on an X server with XInput 2.2 that is not XWayland, where
// the windows of Wayland clients would stay out of sight.
bool X11Platform::serverAllowsGlobalInput() {
  if (serverAllowsGlobalInput_) return *serverAllowsGlobalInput_;
  bool allowed = false;
  if (server_->isConnected()) {
    xcb_connection_t* c = server_->connection();
    const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(c, &xcb_input_id);
    xcb_generic_error_t* error = nullptr;
    if (xinput != nullptr && xinput->present != 0 && !serverIsXwaylandOnce()) {
      auto version = takeReply(
          xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), &error), error);
      allowed = version && (version->major_version > 2 ||
                            (version->major_version == 2 && version->minor_version >= 2));
    }
  }
  serverAllowsGlobalInput_ = allowed;
  return allowed;
}

// The server cannot turn into another one while we run, so it is asked once.
bool X11Platform::serverIsXwaylandOnce() const {
  if (!serverIsXwayland_) {
    serverIsXwayland_ =
        server_->isConnected() && serverIsXwayland(server_->connection(), server_->screen()->root);
  }
  return *serverIsXwayland_;
}

bool X11Platform::isProcessTrusted(bool /*prompt*/) {
  if (!serverAllowsGlobalInput()) return false;
  return input_->available();
}

}  // namespace platform::x11
