#include "platform/workspace.h"

#include "platform/platform.h"

namespace platform {

std::string_view notificationName(WorkspaceNotification name) {
  switch (name) {
    case WorkspaceNotification::didActivateApplication:
      return "WorkspaceDidActivateApplication";
    case WorkspaceNotification::activeSpaceDidChange:
      return "WorkspaceActiveSpaceDidChange";
  }
  return "";
}

OperationQueue& OperationQueue::mainQueue() {
  static OperationQueue queue;
  return queue;
}

void WorkspaceNotificationCenter::addObserverForName(
    WorkspaceNotification name, const Object* /*object*/, OperationQueue& /*queue*/,
    std::function<void(const Notification&)> block) {
  currentPlatform().addWorkspaceObserver(name, [name, block = std::move(block)] {
    block(Notification{std::string(notificationName(name))});
  });
}

Workspace& Workspace::sharedWorkspace() {
  static Workspace workspace;
  return workspace;
}

std::optional<RunningApplication> Workspace::frontmostApplication() {
  return currentPlatform().frontmostApplication();
}

WorkspaceNotificationCenter& Workspace::notificationCenter() {
  static WorkspaceNotificationCenter center;
  return center;
}

bool Workspace::openURL(const URL& url) {
  return currentPlatform().openURL(url);
}

URL Workspace::accessibilitySettingsURL() {
  return currentPlatform().accessibilitySettingsURL();
}

std::shared_ptr<const WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                     std::int64_t relativeToWindow) {
  return currentPlatform().copyWindowInfo(options, relativeToWindow);
}

std::int32_t windowLevelForKey(WindowLevelKey key) {
  return currentPlatform().windowLevelForKey(key);
}

}  // namespace platform
