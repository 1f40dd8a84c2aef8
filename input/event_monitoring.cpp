#include <cctype>
#include <memory>

#include "app/quillmere_app.h"
#include "input/command_b.h"
#include "platform/event.h"
#include "platform/workspace.h"

namespace quillmere {

using namespace platform;

namespace {
constexpr double kRestackInterval = 0.1;
}  // namespace

bool isCommandB(const Event& event) {
  if ((event.modifierFlags & kEventModifierFlagCommand) == 0) return false;
  if (!event.charactersIgnoringModifiers) return false;
  // Only "B" and "b" lower-case to "b" under the Unicode mapping, so folding ASCII letters
  // decides this comparison exactly; other bytes stay as they are and never make a "b".
  const std::string& text = *event.charactersIgnoringModifiers;
  return text.size() == 1 && std::tolower(static_cast<unsigned char>(text[0])) == 'b';
}

// Installs everything that drives the delegate after launch. The platform keeps the
// observers, monitors and timer; each holds the delegate weakly.
void QuillmereApp::startMonitoring() {
  WorkspaceNotificationCenter& center = Workspace::sharedWorkspace().notificationCenter();
  std::weak_ptr<QuillmereApp> weakSelf = weak_from_this();

  center.addObserverForName(WorkspaceNotification::didActivateApplication, nullptr,
                            OperationQueue::mainQueue(), [weakSelf](const Notification&) {
                              if (auto self = weakSelf.lock()) self->updateFocus();
                            });
  center.addObserverForName(WorkspaceNotification::activeSpaceDidChange, nullptr,
                            OperationQueue::mainQueue(), [weakSelf](const Notification&) {
                              if (auto self = weakSelf.lock()) self->updateFocus();
                            });

  Event::addGlobalMonitorForEventsMatchingMask(kEventMaskMouseMoved,
                                               [weakSelf](const Event& event) {
                                                 if (auto self = weakSelf.lock()) {
                                                   self->trackShake(event);
                                                 }
                                               });
  Event::addGlobalMonitorForEventsMatchingMask(kEventMaskKeyDown, [weakSelf](const Event& event) {
    if (!isCommandB(event)) return;
    if (auto self = weakSelf.lock()) self->toggleEffect();
  });
  Event::addLocalMonitorForEventsMatchingMask(
      kEventMaskKeyDown, [weakSelf](const Event& event) -> std::optional<Event> {
        if (!isCommandB(event)) return event;
        if (auto self = weakSelf.lock()) self->toggleEffect();
        return std::nullopt;  // consumed, even when the delegate is gone
      });

  updateFocus();

  Timer::scheduledTimerWithTimeInterval(kRestackInterval, true, [weakSelf] {
    if (auto self = weakSelf.lock()) self->updateFocus();
  });
}

}  // namespace quillmere
