#include "platform/gnome/gnome_platform.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "platform/gnome/gnome_shell_client.h"
#include "platform/gnome/pane_peer.h"
#include "platform/gnome/pane_set.h"
#include "platform/gnome/stage_screens.h"
#include "platform/gnome/status_menu_peer.h"
#include "platform/qt/bundle_resources.h"

namespace platform::gnome {

namespace {

// Overlay numbers lie far above any number the window cache gives the shell's windows.
constexpr WindowNumber kFirstOverlayNumber = WindowNumber{1} << 40;

// The monitors as Qt, a Wayland client of the shell, sees them: logical pixels on the stage.
std::vector<StageRect> stageMonitors(std::size_t& primary) {
  std::vector<StageRect> monitors;
  primary = 0;
  const QScreen* primaryScreen = QGuiApplication::primaryScreen();
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen == primaryScreen) primary = monitors.size();
    const QRect g = screen->geometry();
    monitors.push_back({g.x(), g.y(), g.width(), g.height()});
  }
  return monitors;
}

}  // namespace

GnomePlatform::GnomePlatform() : nextWindowNumber_(kFirstOverlayNumber) {
  ShellEvents events;
  events.post = [this](WorkspaceNotification name) { eventDispatch().inputWorkspaceChange(name); };
  events.toggle = [this] { deliverSuperB(); };
  events.pointer = [this](double x, double y) { pointerMoved(x, y); };
  events.menuActivated = [this](int row) {
    if (StatusMenuPeer* menu = panes_->menuPeer()) menu->activate(row);
  };
  events.sliderMoved = [this](int row, double value) {
    if (StatusMenuPeer* menu = panes_->menuPeer()) menu->slide(row, value);
  };
  // Hello makes the extension forget what it was sent: everything goes again.
  events.helloAnswered = [this] {
    for (PanePeer* pane : panes_->peers()) pane->resend();
    if (StatusMenuPeer* menu = panes_->menuPeer()) menu->resend();
  };
  events.gone = &exitForLostShell;
  client_ = new GnomeShellClient(QDBusConnection::sessionBus(), static_cast<ProcessId>(getpid()),
                                 std::move(events), owner_.get());
  panes_ = std::make_shared<PaneSet>(client_, [this] { return primaryBottom(); });
  client_->start();
}

GnomePlatform::~GnomePlatform() {
  panes_->detach();
}

void GnomePlatform::exitForLostShell(const char* line) {
  std::fprintf(stderr, "%s\n", line);
  std::fflush(nullptr);
  std::_Exit(1);
}

std::uint64_t GnomePlatform::callsSent() const {
  return client_->callsSent();
}

// --- Application -----------------------------------------------------------------------------

void GnomePlatform::runEventLoop(const std::function<void()>& didFinishLaunching) {
  QTimer::singleShot(0, owner_.get(), [&didFinishLaunching] { didFinishLaunching(); });
  exitCode_ = QCoreApplication::exec();
}

bool GnomePlatform::setActivationPolicy(ApplicationActivationPolicy /*policy*/) {
  return true;  // the panes live inside the shell, and we make no window of our own
}

// --- Screens and windows ---------------------------------------------------------------------

double GnomePlatform::primaryBottom() const {
  std::size_t primary = 0;
  return primaryBottomOf(stageMonitors(primary), primary);
}

std::vector<Rect> GnomePlatform::screenFrames() {
  std::size_t primary = 0;
  const auto monitors = stageMonitors(primary);
  return globalFramesOf(monitors, primary);
}

std::unique_ptr<WindowPeer> GnomePlatform::createWindowPeer(Window& window) {
  return std::make_unique<PanePeer>(window, panes_, nextWindowNumber_++);
}

// --- Workspace and window server -------------------------------------------------------------

std::optional<RunningApplication> GnomePlatform::frontmostApplication() {
  const auto pid = client_->frontmostPid();
  if (!pid) return std::nullopt;
  return RunningApplication{*pid};
}

URL GnomePlatform::accessibilitySettingsURL() {
  return qt::permissionHelpURL("gnome-shell");
}

// The shell's windows front to back, as the last report gave them; only on-screen windows are
// reported, so every option gives the same list, and a quiet tick copies nothing.
std::shared_ptr<const WindowInfoList> GnomePlatform::copyWindowInfo(std::uint32_t /*options*/,
                                                                    std::int64_t /*relative*/) {
  return client_->windowList();
}

// --- Input -----------------------------------------------------------------------------------

void GnomePlatform::pointerMoved(double stageX, double stageY) {
  pointer_ = Point{stageX, primaryBottom() - stageY};
  eventDispatch().inputPointerMoved(pointer_);
}

void GnomePlatform::deliverSuperB() {
  eventDispatch().inputToggleRequest();
}

// --- Status menu and permission --------------------------------------------------------------

std::unique_ptr<StatusItemPeer> GnomePlatform::createStatusItemPeer(StatusItem& item) {
  return std::make_unique<StatusMenuPeer>(item, panes_);
}

// Everything goes through the extension: trusted once it answers, after being enabled if it
// was installed but off.
bool GnomePlatform::isProcessTrusted(bool /*prompt*/) {
  return client_->ensureExtension();
}

}  // namespace platform::gnome
