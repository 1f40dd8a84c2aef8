#include "platform/platform.h"

#include <chrono>

#include "platform/animation.h"

namespace platform {

void resetSharedApplicationForNewPlatform();

void Platform::addWorkspaceObserver(WorkspaceNotification name, std::function<void()> observer) {
  events_.addWorkspaceObserver(name, std::move(observer));
}

void Platform::addGlobalMonitor(EventMask mask, std::function<void(const Event&)> handler) {
  events_.addGlobalMonitor(mask, std::move(handler));
}

void Platform::addLocalMonitor(EventMask mask,
                               std::function<std::optional<Event>(const Event&)> handler) {
  events_.addLocalMonitor(mask, std::move(handler));
}

namespace {

// No screens, no input, no status area; launching runs and the loop returns at once.
class NullPlatform final : public Platform {
 public:
  void runEventLoop(const std::function<void()>& didFinishLaunching) override {
    didFinishLaunching();
  }
  void terminate() override {}
  bool setActivationPolicy(ApplicationActivationPolicy) override { return true; }
  void setApplicationIconImage(const Image&) override {}
  std::optional<std::string> pathForResource(std::string_view, std::string_view) override {
    return std::nullopt;
  }
  bool canReadImageFile(const std::string&) override { return false; }
  bool hasSystemSymbol(const std::string&) override { return false; }
  void writeStandardOutputLine(std::string_view) override {}

  std::vector<Rect> screenFrames() override { return {}; }
  std::unique_ptr<WindowPeer> createWindowPeer(Window&) override {
    return std::make_unique<NullWindowPeer>(nextWindowNumber_++);
  }

  std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
  bool openURL(const URL&) override { return false; }
  URL accessibilitySettingsURL() override { return URL{}; }
  std::shared_ptr<const WindowInfoList> copyWindowInfo(std::uint32_t, std::int64_t) override {
    return nullptr;
  }
  std::int32_t windowLevelForKey(WindowLevelKey) override { return 0; }

  Point mouseLocation() override { return {}; }
  double now() override {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
  }
  TimerId scheduleTimer(double, bool, std::function<void()>) override { return 0; }
  void invalidateTimer(TimerId) override {}

  std::unique_ptr<StatusItemPeer> createStatusItemPeer(StatusItem&) override { return nullptr; }

  bool isProcessTrusted(bool) override { return false; }
  ModalResponse runModalAlert(const Alert&) override { return kAlertSecondButtonReturn; }
  void deliverNotification(const UserNotification&) override {}

 private:
  class NullWindowPeer final : public WindowPeer {
   public:
    explicit NullWindowPeer(WindowNumber number) : number_(number) {}
    WindowNumber windowNumber() override { return number_; }
    void orderFront() override {}

   private:
    WindowNumber number_;
  };

  WindowNumber nextWindowNumber_ = 1;
};

std::unique_ptr<Platform>& installedPlatform() {
  static std::unique_ptr<Platform> backend = makeNullPlatform();
  return backend;
}

}  // namespace

std::unique_ptr<Platform> makeNullPlatform() {
  return std::make_unique<NullPlatform>();
}

void installPlatform(std::unique_ptr<Platform> backend) {
  resetFadesForNewPlatform();
  resetSharedApplicationForNewPlatform();
  installedPlatform() = backend ? std::move(backend) : makeNullPlatform();
}

Platform& currentPlatform() {
  return *installedPlatform();
}

}  // namespace platform
