#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/application.h"

namespace platform {

using ProcessId = std::int32_t;

// An application that runs now.
struct RunningApplication {
  ProcessId processIdentifier = 0;
};

enum class WorkspaceNotification { didActivateApplication, activeSpaceDidChange };

std::string_view notificationName(WorkspaceNotification name);

// The queue of the main thread; the only queue observers are given.
class OperationQueue final {
 public:
  static OperationQueue& mainQueue();
};

class WorkspaceNotificationCenter final {
 public:
  // Runs the block on the queue each time the notification is posted; the centre keeps the
  // observer until the process ends. Only observers of any object are supported.
  void addObserverForName(WorkspaceNotification name, const Object* object, OperationQueue& queue,
                          std::function<void(const Notification&)> block);
};

struct URL {
  std::string text;
  static URL URLWithString(std::string text) { return URL{std::move(text)}; }
};

class Workspace final {
 public:
  static Workspace& sharedWorkspace();
  // The application that is frontmost now, or none.
  std::optional<RunningApplication> frontmostApplication();
  WorkspaceNotificationCenter& notificationCenter();
  // Opens the URL in the application registered for it; false when nothing opened it.
  bool openURL(const URL& url);
  // The address of the platform's own page for the Accessibility permission.
  URL accessibilitySettingsURL();
};

// One on-screen window as the window server describes it. Values may be absent or of any of
// these kinds, whatever the key.
using WindowInfoValue = std::variant<std::int64_t, double, std::string>;
using WindowInfo = std::map<std::string, WindowInfoValue, std::less<>>;
using WindowInfoList = std::vector<WindowInfo>;

inline constexpr std::string_view kWindowOwnerPidKey = "windowOwnerPID";
inline constexpr std::string_view kWindowLayerKey = "windowLayer";
inline constexpr std::string_view kWindowNumberKey = "windowNumber";
inline constexpr std::string_view kWindowAlphaKey = "windowAlpha";

inline constexpr std::uint32_t kWindowListOptionOnScreenOnly = 1;
inline constexpr std::uint32_t kWindowListExcludeDesktopElements = 16;
inline constexpr std::int64_t kNullWindowId = 0;

enum class WindowLevelKey : std::int32_t { normal = 4 };

// The windows now on screen, front to back, or null when the window server gives nothing.
std::shared_ptr<const WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                     std::int64_t relativeToWindow);
std::int32_t windowLevelForKey(WindowLevelKey key);

}  // namespace platform
