#include "platform/event_dispatch.h"

namespace platform {

void EventDispatch::addWorkspaceObserver(WorkspaceNotification name,
                                         std::function<void()> observer) {
  observers_.emplace_back(name, std::move(observer));
}

void EventDispatch::addGlobalMonitor(EventMask mask, std::function<void(const Event&)> handler) {
  globalMonitors_.emplace_back(mask, std::move(handler));
}

void EventDispatch::addLocalMonitor(EventMask mask,
                                    std::function<std::optional<Event>(const Event&)> handler) {
  localMonitors_.emplace_back(mask, std::move(handler));
}

void EventDispatch::inputWorkspaceChange(WorkspaceNotification name) {
  auto observers = observers_;  // an observer may add another
  for (auto& [observed, observer] : observers) {
    if (observed == name) observer();
  }
}

void EventDispatch::inputPointerMoved(Point location) {
  // The monitors read the location of this very event; asking the backend again could cost a
  // round trip, or give a later position.
  pointerDuringDelivery_ = location;
  deliverGlobal(Event{EventType::mouseMoved, 0, std::nullopt});
  pointerDuringDelivery_.reset();
}

void EventDispatch::inputKeyDownElsewhere(const Event& keyDown) {
  deliverGlobal(keyDown);
}

bool EventDispatch::inputKeyDownInOwnWindow(const Event& keyDown) {
  std::optional<Event> current = keyDown;
  auto monitors = localMonitors_;  // a monitor may add another
  for (auto& [mask, handler] : monitors) {
    if ((mask & Event::maskFor(current->type)) == 0) continue;
    current = handler(*current);
    if (!current) return false;
  }
  return true;
}

void EventDispatch::inputToggleRequest() {
  deliverGlobal(Event{EventType::keyDown, kEventModifierFlagCommand, "b"});
}

void EventDispatch::deliverGlobal(const Event& event) {
  auto monitors = globalMonitors_;  // a monitor may add another
  for (auto& [mask, handler] : monitors) {
    if ((mask & Event::maskFor(event.type)) != 0) handler(event);
  }
}

}  // namespace platform
