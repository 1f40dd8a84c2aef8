#include "app/quillmere_app.h"
#include "overlay/window_record.h"
#include "platform/workspace.h"

namespace quillmere {

using namespace platform;

namespace {
constexpr std::uint32_t kOnScreenWindowsOptions =
    kWindowListOptionOnScreenOnly | kWindowListExcludeDesktopElements;
static_assert(kOnScreenWindowsOptions == 17);
// Windows with an alpha below this count as invisible.
constexpr double kVisibleAlphaThreshold = 0.01;
constexpr WindowLevel kLevelsBelowChosenWindow = 1;
}  // namespace

// Puts every overlay one level below the frontmost application's topmost visible window, or
// one below the normal level when that application shows none.
void QuillmereApp::updateFocus() {
  if (!isEffectEnabled) return;

  std::optional<RunningApplication> frontmost = Workspace::sharedWorkspace().frontmostApplication();
  if (!frontmost) return;

  if (overlayWindowNumbers.empty()) {
    std::unordered_set<WindowNumber> numbers;
    for (const auto& window : overlayWindows) numbers.insert(window->windowNumber());
    overlayWindowNumbers = std::move(numbers);
  }

  const ProcessId frontmostPid = frontmost->processIdentifier;
  std::shared_ptr<const WindowInfoList> windowList =
      copyWindowInfo(kOnScreenWindowsOptions, kNullWindowId);

  std::int32_t targetLayer = windowLevelForKey(WindowLevelKey::normal);
  const std::int32_t normalLevel = targetLayer;
  if (windowList) {
    for (const WindowInfo& info : *windowList) {
      const WindowRecord record = readWindowRecord(info);
      if (overlayWindowNumbers.contains(record.number)) continue;
      if (record.alpha < kVisibleAlphaThreshold) continue;
      if (record.ownerPid != frontmostPid) continue;
      if (record.layer < normalLevel) continue;
      targetLayer = record.layer;
      break;
    }
  }

  const WindowLevel newLevel = static_cast<WindowLevel>(targetLayer) - kLevelsBelowChosenWindow;
  for (const auto& window : overlayWindows) {
    if (window->level() != newLevel) window->setLevel(newLevel);
  }
}

}  // namespace quillmere
