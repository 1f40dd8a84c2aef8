#pragma once

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/event.h"
#include "platform/geometry.h"
#include "platform/workspace.h"

namespace platform {

// The observers and event monitors the core registers, and their dispatch, shared by every
// backend. A backend reports what happened through the input functions, on the main thread;
// what runs, and in which order, is decided here alone. Handlers registered during a delivery
// see the next one, not the current.
class EventDispatch final {
 public:
  void addWorkspaceObserver(WorkspaceNotification name, std::function<void()> observer);
  void addGlobalMonitor(EventMask mask, std::function<void(const Event&)> handler);
  void addLocalMonitor(EventMask mask, std::function<std::optional<Event>(const Event&)> handler);

  // The frontmost application or the active space changed: its observers run, in the order they
  // came. The backend's own state must already tell the new value.
  void inputWorkspaceChange(WorkspaceNotification name);
  // The pointer moved on the desktop: the global pointer monitors run, and the location they
  // read meanwhile is this one (see pointerDuringDelivery).
  void inputPointerMoved(Point location);
  // A key went down in another application: the global key monitors see it.
  void inputKeyDownElsewhere(const Event& keyDown);
  // A key went down in one of our windows: the local monitors see it first, one after another,
  // each getting what the one before returned. False when one consumed it; true when it goes on
  // to the window.
  bool inputKeyDownInOwnWindow(const Event& keyDown);
  // A toggle asked for from outside, which comes in as Super+B pressed anywhere on the desktop.
  void inputToggleRequest();

  // Where the pointer was for the move being delivered; none outside a delivery.
  std::optional<Point> pointerDuringDelivery() const { return pointerDuringDelivery_; }

 private:
  void deliverGlobal(const Event& event);

  std::vector<std::pair<WorkspaceNotification, std::function<void()>>> observers_;
  std::vector<std::pair<EventMask, std::function<void(const Event&)>>> globalMonitors_;
  std::vector<std::pair<EventMask, std::function<std::optional<Event>(const Event&)>>>
      localMonitors_;
  std::optional<Point> pointerDuringDelivery_;
};

}  // namespace platform
