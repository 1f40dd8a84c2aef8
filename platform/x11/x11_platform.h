#pragma once

#include <QByteArray>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/qt/qt_platform.h"
#include "platform/x11/screen_geometry.h"

namespace platform::x11 {

class WindowServer;
class GlobalInput;
class LocalKeyFilter;
class OverlayPaintEngine;
class KeyFocusWatcher;

// The platform on an X11 desktop, with Qt Widgets for the event loop, timers and screens and
// xcb for everything Qt does not reach. Needs a QApplication on the xcb platform.
class X11Platform final : public qt::QtPlatform {
 public:
  X11Platform();
  ~X11Platform() override;
  X11Platform(const X11Platform&) = delete;
  X11Platform& operator=(const X11Platform&) = delete;

  // The status the event loop ended with.
  int exitCode() const { return exitCode_; }

  void runEventLoop(const std::function<void()>& didFinishLaunching) override;
  bool setActivationPolicy(ApplicationActivationPolicy policy) override;

  std::vector<Rect> screenFrames() override;
  std::unique_ptr<WindowPeer> createWindowPeer(Window& window) override;

  std::optional<RunningApplication> frontmostApplication() override;
  std::shared_ptr<const WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                       std::int64_t relativeToWindow) override;

  Point mouseLocation() override;
  // A toggle asked for from outside comes in as a Super+B key-down pressed anywhere on the
  // desktop, through the same global monitors as the key itself.
  void deliverSuperB();

  std::unique_ptr<StatusItemPeer> createStatusItemPeer(StatusItem& item) override;

  bool isProcessTrusted(bool prompt) override;

  // For tests and benchmarks: the window list's own connection.
  WindowServer& windowServer() { return *server_; }
  // For benchmarks: what the painter's last frame cost, or nothing without a painter.
  struct PaintCost {
    double captureMs = 0.0;
    double renderMs = 0.0;
    std::uint64_t frames = 0;
    bool compositor = false;
  };
  std::optional<PaintCost> lastPaintCost() const;

 private:
  ScreenGeometry screenGeometry() const;
  bool serverAllowsGlobalInput();
  bool serverIsXwaylandOnce() const;
  [[noreturn]] static void exitForLostDisplay();

  WindowServer* server_ = nullptr;
  GlobalInput* input_ = nullptr;
  LocalKeyFilter* localKeys_ = nullptr;
  OverlayPaintEngine* paint_ = nullptr;
  KeyFocusWatcher* focusWatcher_ = nullptr;

  std::optional<bool> serverAllowsGlobalInput_;
  // The monitors RandR 1.5 lists, in X pixels; nothing when the server has no such list.
  mutable std::optional<std::optional<std::vector<PixelRect>>> monitors_;
  mutable std::optional<bool> serverIsXwayland_;
  int exitCode_ = 0;
};

}  // namespace platform::x11
