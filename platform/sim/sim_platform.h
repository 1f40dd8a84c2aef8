#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform::sim {

// One window as the simulated window server knows it.
struct SimWindow {
  Window* window = nullptr;
  WindowNumber number = 0;
  int orderFrontCount = 0;
  int levelWrites = 0;
  // What the content view held when the window was first ordered front.
  std::size_t subviewsWhenShown = 0;
  bool layerFilledWhenShown = false;
};

// A deterministic, in-memory platform with a virtual clock. Tests set the world up, drive
// input and time, and inspect what the core did.
class SimPlatform final : public Platform {
 public:
  SimPlatform();
  ~SimPlatform() override;

  // --- Setting the world up
  std::vector<Rect> screens;
  // What is frontmost from the start; activateApplication changes it later, as a user would.
  std::optional<RunningApplication> frontmost;
  // Other applications' windows, front to back; null stands for "the server gave nothing".
  std::shared_ptr<WindowInfoList> foreignWindows = std::make_shared<WindowInfoList>();
  // Whether our own visible windows lead the window list, as overlays over everything would.
  bool listOwnWindows = true;
  ProcessId ownPid = 4242;
  bool trusted = true;
  ModalResponse alertResponse = kAlertSecondButtonReturn;
  // Resource "name.type" to path; paths in readableImages load as images.
  std::map<std::string, std::string> resources;
  std::set<std::string> readableImages;
  bool hasStatusArea = true;
  bool hasStatusButton = true;
  bool hasSymbols = true;

  // --- Driving it
  // Brings the application to the front; when that changes the frontmost application, the
  // activation is posted, as a window manager's focus change does.
  void activateApplication(ProcessId pid);
  // Switches to another space, which is posted.
  void switchSpace();
  // Moves the pointer and tells the global pointer-move monitors.
  void movePointerTo(Point location);
  // A key-down sent to another application: the global monitors see it.
  void pressKeyInOtherApplication(EventModifierFlags flags, std::optional<std::string> text);
  // A key-down sent to this application: the local monitors see it first. True when it went
  // on to the application, false when a monitor consumed it.
  bool pressKeyInThisApplication(EventModifierFlags flags, std::optional<std::string> text);
  // Advances the virtual clock, firing timers (and fade steps) in time order.
  void advance(double seconds);
  // Chooses the menu item with that title, if it is shown enabled. False when it is not.
  bool chooseMenuItem(const std::string& title);
  // Drags the status menu's slider to the value, sending its action.
  void dragSliderTo(double value);

  // --- Inspecting it
  std::vector<std::string> standardOutput;
  std::vector<Alert> alertsShown;
  std::vector<UserNotification> notificationsDelivered;
  std::vector<std::string> urlsOpened;
  // Launch-relevant happenings in order: "stdout:<line>", "alert", "openURL",
  // "notification", "window", "orderFront", "observer", "globalMonitor", "localMonitor",
  // "timer:<interval>", "statusItem", "icon".
  std::vector<std::string> journal;
  std::vector<SimWindow> windows;
  std::shared_ptr<Image> applicationIcon;
  std::optional<ApplicationActivationPolicy> activationPolicy;
  bool terminated = false;
  int frontmostQueries = 0;
  int windowListQueries = 0;
  std::vector<EventMask> globalMonitorMasks;
  std::vector<EventMask> localMonitorMasks;
  std::vector<double> repeatingTimerIntervals;
  StatusItem* statusItem = nullptr;

  SimWindow* findWindow(const Window& window);
  Slider* statusMenuSlider();

  // --- Platform (the observers and monitors are the shared ones, their registration journalled)
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
  double now() override { return clock_; }
  TimerId scheduleTimer(double interval, bool repeats, std::function<void()> block) override;
  void invalidateTimer(TimerId timer) override;
  std::unique_ptr<StatusItemPeer> createStatusItemPeer(StatusItem& item) override;
  bool isProcessTrusted(bool prompt) override;
  ModalResponse runModalAlert(const Alert& alert) override;
  void deliverNotification(const UserNotification& notification) override;

 private:
  struct SimTimer {
    double interval;
    bool repeats;
    double due;
    std::function<void()> block;
  };
  class SimWindowPeer;
  class SimStatusItemPeer;

  double clock_ = 1000.0;
  Point pointer_;
  WindowNumber nextWindowNumber_ = 101;
  TimerId nextTimerId_ = 1;
  std::map<TimerId, SimTimer> timers_;
};

}  // namespace platform::sim
