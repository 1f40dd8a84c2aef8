#pragma once

#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/qt/qt_platform.h"

namespace platform::wayland {

class WaylandConnection;
class OverlayRegistry;
class WindowSource;
class KWinOverlayStacking;
class KWinScriptClient;
class CaptureScheduler;

// The platform on a wlroots compositor: layer-shell overlays on our own Wayland connection,
// sway's IPC for the window list and the frontmost application, Qt for the event loop and
// timers. Needs a QCoreApplication (a QApplication for the status item and the alert) and a
// usable connection (see makeWaylandPlatform).
class WaylandPlatform final : public qt::QtPlatform {
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
  bool setActivationPolicy(ApplicationActivationPolicy policy) override;

  std::vector<Rect> screenFrames() override;
  std::unique_ptr<WindowPeer> createWindowPeer(Window& window) override;

  std::optional<RunningApplication> frontmostApplication() override;
  std::shared_ptr<const WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                       std::int64_t relativeToWindow) override;

  Point mouseLocation() override;

  std::unique_ptr<StatusItemPeer> createStatusItemPeer(StatusItem& item) override;

  bool isProcessTrusted(bool prompt) override;

 private:
  WindowSource* makeWindowSource();
  [[noreturn]] static void exitForLostCompositor();

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
  WindowNumber nextWindowNumber_;
  int exitCode_ = 0;
};

}  // namespace platform::wayland
