#pragma once

#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/platform.h"

class QObject;
namespace platform::shared {
class QtTimers;
}

namespace platform::wayland {

class WaylandConnection;
class OverlayRegistry;
class WindowSource;
class KWinOverlayStacking;
class KWinScriptClient;
class CaptureScheduler;

// The platform on a wlroots compositor: layer-shell overlays on our own Wayland connection,
// sway's IPC for the window list and the frontmost application, Qt for the event loop and
// timers. Needs a QCoreApplication (a QApplication for the later shell) and a usable
// connection (see makeWaylandPlatform).
class WaylandPlatform final : public Platform {
 public:
  explicit WaylandPlatform(std::unique_ptr<WaylandConnection> connection);
  ~WaylandPlatform() override;
  WaylandPlatform(const WaylandPlatform&) = delete;
  WaylandPlatform& operator=(const WaylandPlatform&) = delete;

  // The status the event loop ended with.
  int exitCode() const { return exitCode_; }
  // Hands the global key monitors a Super+B key-down, as a --toggle request asks.
  void deliverSuperB();
  // For tests and benchmarks: the IPC requests written since the start.
  std::uint64_t ipcRequestsSent() const;
  // For tests and benchmarks: the output captures asked for since the start.
  std::uint64_t capturesRequested() const;

  void runEventLoop(const std::function<void()>& didFinishLaunching) override;
  void terminate() override;
  bool setActivationPolicy(ApplicationActivationPolicy policy) override;
  void setApplicationIconImage(const Image& image) override;
  std::optional<std::string> pathForResource(std::string_view name, std::string_view type) override;
  bool canReadImageFile(const std::string& path) override;
  bool hasSystemSymbol(const std::string& name) override;
  void writeStandardOutputLine(std::string_view line) override;

  std::vector<Rect> screenFrames() override;
  std::unique_ptr<WindowPeer> createWindowPeer(Window& window) override;

  std::optional<RunningApplication> frontmostApplication() override;
  void addWorkspaceObserver(WorkspaceNotification name, std::function<void()> observer) override;
  bool openURL(const URL& url) override;
  URL accessibilitySettingsURL() override;
  std::shared_ptr<const WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                       std::int64_t relativeToWindow) override;
  std::int32_t windowLevelForKey(WindowLevelKey key) override;

  Point mouseLocation() override;
  void addGlobalMonitor(EventMask mask, std::function<void(const Event&)> handler) override;
  void addLocalMonitor(EventMask mask,
                       std::function<std::optional<Event>(const Event&)> handler) override;
  double now() override;
  TimerId scheduleTimer(double interval, bool repeats, std::function<void()> block) override;
  void invalidateTimer(TimerId timer) override;

  std::unique_ptr<StatusItemPeer> createStatusItemPeer(StatusItem& item) override;

  bool isProcessTrusted(bool prompt) override;
  ModalResponse runModalAlert(const Alert& alert) override;
  void deliverNotification(const UserNotification& notification) override;

 private:
  WindowSource* makeWindowSource();
  void postWorkspaceNotification(WorkspaceNotification name);
  // Offers a key-down in our own menu to the local monitors; false when one consumed it.
  bool deliverLocal(const Event& event);
  [[noreturn]] static void exitForLostCompositor();

  std::unique_ptr<QObject> owner_;  // parent of every Qt object below
  WaylandConnection* connection_ = nullptr;
  WindowSource* windows_ = nullptr;          // owned by owner_'s children
  KWinScriptClient* kwin_ = nullptr;         // the same source, on KWin
  KWinOverlayStacking* stacking_ = nullptr;  // on KWin
  CaptureScheduler* captures_ = nullptr;
  std::shared_ptr<OverlayRegistry> overlays_;
  // The window list as last handed out, and what it was made from.
  std::shared_ptr<const WindowInfoList> windowList_;
  std::shared_ptr<const WindowInfoList> windowListSource_;
  std::uint64_t windowListGeneration_ = 0;
  std::vector<std::pair<WorkspaceNotification, std::function<void()>>> observers_;
  std::vector<std::pair<EventMask, std::function<void(const Event&)>>> globalMonitors_;
  std::vector<std::pair<EventMask, std::function<std::optional<Event>(const Event&)>>>
      localMonitors_;
  std::unique_ptr<shared::QtTimers> timers_;
  WindowNumber nextWindowNumber_;
  int exitCode_ = 0;
};

}  // namespace platform::wayland
