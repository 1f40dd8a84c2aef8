#pragma once

#include <memory>
#include <optional>

#include "platform/qt/qt_platform.h"

namespace platform::gnome {

class GnomeShellClient;
class PaneSet;

// The platform on GNOME Shell (Wayland), through Quillmere's own extension: the overlays are
// the extension's panes, the status item its top-bar button, the window list, Super+B and the
// pointer come from its calls. Qt runs the event loop and shows the alert, as a Wayland client
// of the shell. Needs a QCoreApplication (a QApplication for the alert).
class GnomePlatform final : public qt::QtPlatform {
 public:
  GnomePlatform();
  ~GnomePlatform() override;
  GnomePlatform(const GnomePlatform&) = delete;
  GnomePlatform& operator=(const GnomePlatform&) = delete;

  // The status the event loop ended with.
  int exitCode() const { return exitCode_; }
  // Hands the global key monitors a Super+B key-down, as a --toggle request asks.
  void deliverSuperB();
  // For tests and benchmarks: the calls made on the extension since the start.
  std::uint64_t callsSent() const;

  void runEventLoop(const std::function<void()>& didFinishLaunching) override;
  bool setActivationPolicy(ApplicationActivationPolicy policy) override;

  std::vector<Rect> screenFrames() override;
  std::unique_ptr<WindowPeer> createWindowPeer(Window& window) override;

  std::optional<RunningApplication> frontmostApplication() override;
  URL accessibilitySettingsURL() override;
  std::shared_ptr<const WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                       std::int64_t relativeToWindow) override;

  Point mouseLocation() override { return pointer_; }

  std::unique_ptr<StatusItemPeer> createStatusItemPeer(StatusItem& item) override;

  bool isProcessTrusted(bool prompt) override;

 private:
  double primaryBottom() const;
  void pointerMoved(double stageX, double stageY);
  [[noreturn]] static void exitForLostShell(const char* line);

  GnomeShellClient* client_ = nullptr;  // owned by owner_
  std::shared_ptr<PaneSet> panes_;
  WindowNumber nextWindowNumber_;
  Point pointer_;
  int exitCode_ = 0;
};

}  // namespace platform::gnome
