#include "platform/event_dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

Event keyDown(std::string text) {
  return Event{EventType::keyDown, kEventModifierFlagCommand, std::move(text)};
}

// Each monitor sees only the events its mask names, in the order the monitors came; one added
// during a delivery waits for the next. The pointer's location holds for its delivery alone.
TEST(EventDispatch, GlobalMonitorsSeeTheirEventsInOrderAndLateComersWaitForTheNext) {
  EventDispatch dispatch;
  std::vector<std::string> seen;
  dispatch.addGlobalMonitor(kEventMaskMouseMoved, [&](const Event&) {
    seen.push_back("pointer at " + std::to_string(dispatch.pointerDuringDelivery()->x));
  });
  dispatch.addGlobalMonitor(kEventMaskKeyDown, [&](const Event& event) {
    seen.push_back("key " + event.charactersIgnoringModifiers.value_or(""));
    if (seen.size() == 2) {
      dispatch.addGlobalMonitor(kEventMaskKeyDown, [&](const Event&) { seen.push_back("late"); });
    }
  });
  dispatch.inputPointerMoved(Point{7, 9});
  EXPECT_FALSE(dispatch.pointerDuringDelivery());
  dispatch.inputKeyDownElsewhere(keyDown("q"));
  dispatch.inputToggleRequest();
  EXPECT_EQ(seen, (std::vector<std::string>{"pointer at 7.000000", "key q", "key b", "late"}));
}

// Local monitors form a chain: each gets what the one before returned, and a consumed event
// goes no further, neither to a later monitor nor to the window.
TEST(EventDispatch, LocalMonitorsChainAndAConsumedKeyGoesNoFurther) {
  EventDispatch dispatch;
  std::vector<std::string> seen;
  dispatch.addLocalMonitor(kEventMaskMouseMoved, [&](const Event& event) {
    seen.push_back("pointer monitor");
    return event;
  });
  dispatch.addLocalMonitor(kEventMaskKeyDown, [&](const Event& event) -> std::optional<Event> {
    seen.push_back("first " + *event.charactersIgnoringModifiers);
    return keyDown(*event.charactersIgnoringModifiers + "!");
  });
  dispatch.addLocalMonitor(kEventMaskKeyDown, [&](const Event& event) -> std::optional<Event> {
    seen.push_back("second " + *event.charactersIgnoringModifiers);
    if (event.charactersIgnoringModifiers == "b!") return std::nullopt;
    return event;
  });
  dispatch.addLocalMonitor(kEventMaskKeyDown, [&](const Event& event) {
    seen.push_back("third");
    return event;
  });
  EXPECT_TRUE(dispatch.inputKeyDownInOwnWindow(keyDown("q")));
  EXPECT_FALSE(dispatch.inputKeyDownInOwnWindow(keyDown("b")));
  EXPECT_EQ(seen,
            (std::vector<std::string>{"first q", "second q!", "third", "first b", "second b!"}));
}

TEST(EventDispatch, ObserversRunForTheirNotificationInOrderAndOneAddedMeanwhileWaits) {
  EventDispatch dispatch;
  std::vector<std::string> seen;
  dispatch.addWorkspaceObserver(WorkspaceNotification::activeSpaceDidChange,
                                [&] { seen.push_back("space"); });
  dispatch.addWorkspaceObserver(WorkspaceNotification::didActivateApplication, [&] {
    seen.push_back("first");
    dispatch.addWorkspaceObserver(WorkspaceNotification::didActivateApplication,
                                  [&] { seen.push_back("late"); });
  });
  dispatch.addWorkspaceObserver(WorkspaceNotification::didActivateApplication,
                                [&] { seen.push_back("second"); });
  dispatch.inputWorkspaceChange(WorkspaceNotification::didActivateApplication);
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
  dispatch.inputWorkspaceChange(WorkspaceNotification::activeSpaceDidChange);
  EXPECT_EQ(seen.back(), "space");
}

}  // namespace
}  // namespace platform
