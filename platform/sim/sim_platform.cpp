#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <limits>

namespace platform::sim {

class SimPlatform::SimWindowPeer final : public WindowPeer {
 public:
  SimWindowPeer(SimPlatform& sim, WindowNumber number) : sim_(sim), number_(number) {}
  ~SimWindowPeer() override {
    std::erase_if(sim_.windows, [this](const SimWindow& w) { return w.number == number_; });
  }
  WindowNumber windowNumber() override { return number_; }
  void levelDidChange() override {
    if (SimWindow* record = find()) ++record->levelWrites;
  }
  void orderFront() override {
    SimWindow* record = find();
    if (record == nullptr) return;
    if (record->orderFrontCount++ == 0) {
      View* content = record->window->contentView();
      record->subviewsWhenShown = content ? content->subviews().size() : 0;
      record->layerFilledWhenShown =
          content && content->layer() && content->layer()->backgroundColor().has_value();
    }
    sim_.journal.push_back("orderFront");
  }

 private:
  SimWindow* find() {
    auto found = std::find_if(sim_.windows.begin(), sim_.windows.end(),
                              [this](const SimWindow& w) { return w.number == number_; });
    return found == sim_.windows.end() ? nullptr : &*found;
  }
  SimPlatform& sim_;
  WindowNumber number_;
};

class SimPlatform::SimStatusItemPeer final : public StatusItemPeer {
 public:
  explicit SimStatusItemPeer(SimPlatform& sim) : sim_(sim) {}
  ~SimStatusItemPeer() override { sim_.statusItem = nullptr; }

 private:
  SimPlatform& sim_;
};

SimPlatform::SimPlatform() = default;
SimPlatform::~SimPlatform() = default;

void SimPlatform::activateApplication(ProcessId pid) {
  const bool changed = !frontmost || frontmost->processIdentifier != pid;
  frontmost = RunningApplication{pid};
  if (changed) eventDispatch().inputWorkspaceChange(WorkspaceNotification::didActivateApplication);
}

void SimPlatform::switchSpace() {
  eventDispatch().inputWorkspaceChange(WorkspaceNotification::activeSpaceDidChange);
}

void SimPlatform::movePointerTo(Point location) {
  pointer_ = location;
  eventDispatch().inputPointerMoved(location);
}

void SimPlatform::pressKeyInOtherApplication(EventModifierFlags flags,
                                             std::optional<std::string> text) {
  eventDispatch().inputKeyDownElsewhere(Event{EventType::keyDown, flags, std::move(text)});
}

bool SimPlatform::pressKeyInThisApplication(EventModifierFlags flags,
                                            std::optional<std::string> text) {
  return eventDispatch().inputKeyDownInOwnWindow(Event{EventType::keyDown, flags, std::move(text)});
}

void SimPlatform::advance(double seconds) {
  const double end = clock_ + seconds;
  while (true) {
    auto next = std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
      return a.second.due < b.second.due || (a.second.due == b.second.due && a.first < b.first);
    });
    if (next == timers_.end() || next->second.due > end) break;
    const TimerId id = next->first;
    clock_ = next->second.due;
    std::function<void()> block = next->second.block;
    if (next->second.repeats) {
      next->second.due += next->second.interval;
    } else {
      timers_.erase(next);
    }
    block();
    (void)id;
  }
  clock_ = end;
}

bool SimPlatform::chooseMenuItem(const std::string& title) {
  if (statusItem == nullptr || statusItem->menu() == nullptr) return false;
  Menu& menu = *statusItem->menu();
  for (const auto& item : menu.itemArray()) {
    if (item->title() != title) continue;
    if (!menu.showsItemEnabled(*item)) return false;
    auto keepAlive = item;
    keepAlive->performAction();
    return true;
  }
  return false;
}

Slider* SimPlatform::statusMenuSlider() {
  if (statusItem == nullptr || statusItem->menu() == nullptr) return nullptr;
  for (const auto& item : statusItem->menu()->itemArray()) {
    if (!item->view()) continue;
    for (const auto& subview : item->view()->subviews()) {
      if (auto* slider = dynamic_cast<Slider*>(subview.get())) return slider;
    }
  }
  return nullptr;
}

void SimPlatform::dragSliderTo(double value) {
  if (Slider* slider = statusMenuSlider()) {
    slider->setDoubleValue(value);
    slider->sendAction();
  }
}

SimWindow* SimPlatform::findWindow(const Window& window) {
  auto found = std::find_if(windows.begin(), windows.end(),
                            [&](const SimWindow& w) { return w.window == &window; });
  return found == windows.end() ? nullptr : &*found;
}

void SimPlatform::runEventLoop(const std::function<void()>& didFinishLaunching) {
  journal.push_back("run");
  didFinishLaunching();
}

void SimPlatform::terminate() {
  terminated = true;
}

bool SimPlatform::setActivationPolicy(ApplicationActivationPolicy policy) {
  activationPolicy = policy;
  journal.push_back("activationPolicy");
  return true;
}

void SimPlatform::setApplicationIconImage(const Image& image) {
  applicationIcon = std::make_shared<Image>(image);
  journal.push_back("icon");
}

std::optional<std::string> SimPlatform::pathForResource(std::string_view name,
                                                        std::string_view type) {
  auto found = resources.find(std::string(name) + "." + std::string(type));
  if (found == resources.end()) return std::nullopt;
  return found->second;
}

bool SimPlatform::canReadImageFile(const std::string& path) {
  return readableImages.contains(path);
}

bool SimPlatform::hasSystemSymbol(const std::string& /*name*/) {
  return hasSymbols;
}

void SimPlatform::writeStandardOutputLine(std::string_view line) {
  standardOutput.emplace_back(line);
  journal.push_back("stdout:" + std::string(line));
}

std::vector<Rect> SimPlatform::screenFrames() {
  return screens;
}

std::unique_ptr<WindowPeer> SimPlatform::createWindowPeer(Window& window) {
  const WindowNumber number = nextWindowNumber_++;
  windows.push_back(SimWindow{&window, number});
  journal.push_back("window");
  return std::make_unique<SimWindowPeer>(*this, number);
}

std::optional<RunningApplication> SimPlatform::frontmostApplication() {
  ++frontmostQueries;
  return frontmost;
}

void SimPlatform::addWorkspaceObserver(WorkspaceNotification name, std::function<void()> observer) {
  Platform::addWorkspaceObserver(name, std::move(observer));
  journal.push_back("observer");
}

bool SimPlatform::openURL(const URL& url) {
  urlsOpened.push_back(url.text);
  journal.push_back("openURL");
  return true;
}

URL SimPlatform::accessibilitySettingsURL() {
  return URL{"settings://privacy/accessibility"};
}

std::shared_ptr<const WindowInfoList> SimPlatform::copyWindowInfo(std::uint32_t /*options*/,
                                                                  std::int64_t /*relativeTo*/) {
  ++windowListQueries;
  if (!foreignWindows) return nullptr;
  if (!listOwnWindows) return foreignWindows;

  // Our visible windows go in front of the first foreign window at their level or below.
  auto list = std::make_shared<WindowInfoList>(*foreignWindows);
  for (const SimWindow& own : windows) {
    if (!own.window->isVisible()) continue;
    WindowInfo info{{std::string(kWindowNumberKey), own.number},
                    {std::string(kWindowOwnerPidKey), std::int64_t{ownPid}},
                    {std::string(kWindowLayerKey), own.window->level()},
                    {std::string(kWindowAlphaKey), own.window->alphaValue()}};
    auto position = std::find_if(list->begin(), list->end(), [&](const WindowInfo& other) {
      auto layer = other.find(kWindowLayerKey);
      const auto* value =
          layer == other.end() ? nullptr : std::get_if<std::int64_t>(&layer->second);
      return (value ? *value : 0) <= own.window->level();
    });
    list->insert(position, std::move(info));
  }
  return list;
}

std::int32_t SimPlatform::windowLevelForKey(WindowLevelKey /*key*/) {
  return 0;
}

Point SimPlatform::mouseLocation() {
  return pointer_;
}

void SimPlatform::addGlobalMonitor(EventMask mask, std::function<void(const Event&)> handler) {
  Platform::addGlobalMonitor(mask, std::move(handler));
  globalMonitorMasks.push_back(mask);
  journal.push_back("globalMonitor");
}

void SimPlatform::addLocalMonitor(EventMask mask,
                                  std::function<std::optional<Event>(const Event&)> handler) {
  Platform::addLocalMonitor(mask, std::move(handler));
  localMonitorMasks.push_back(mask);
  journal.push_back("localMonitor");
}

TimerId SimPlatform::scheduleTimer(double interval, bool repeats, std::function<void()> block) {
  const TimerId id = nextTimerId_++;
  timers_.emplace(id, SimTimer{interval, repeats, clock_ + interval, std::move(block)});
  if (repeats) {
    repeatingTimerIntervals.push_back(interval);
    journal.push_back("timer:" + std::to_string(interval));
  }
  return id;
}

void SimPlatform::invalidateTimer(TimerId timer) {
  timers_.erase(timer);
}

std::unique_ptr<StatusItemPeer> SimPlatform::createStatusItemPeer(StatusItem& item) {
  if (!hasStatusArea) return nullptr;
  statusItem = &item;
  if (!hasStatusButton) item.removeButton();
  journal.push_back("statusItem");
  return std::make_unique<SimStatusItemPeer>(*this);
}

bool SimPlatform::isProcessTrusted(bool /*prompt*/) {
  return trusted;
}

ModalResponse SimPlatform::runModalAlert(const Alert& alert) {
  alertsShown.push_back(alert);
  journal.push_back("alert");
  return alertResponse;
}

void SimPlatform::deliverNotification(const UserNotification& notification) {
  notificationsDelivered.push_back(notification);
  journal.push_back("notification");
}

}  // namespace platform::sim
