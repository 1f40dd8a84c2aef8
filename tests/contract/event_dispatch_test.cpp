#include "platform/event_dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

Event keyDown(const std::string& text) {
  return Event{EventType::keyDown, kEventModifierFlagCommand, text};
}

// Each handler sees only what it asked for, in the order the handlers came; one added during a
// delivery waits for the next. The pointer's location holds for its own delivery alone.
TEST(EventDispatch, HandlersSeeWhatTheyAskedForInOrderAndLateComersWaitForTheNext) {
  EventDispatch dispatch;
  std::vector<std::string> seen;
  auto late = [&] { seen.push_back("late"); };
  dispatch.addGlobalMonitor(kEventMaskMouseMoved, [&](const Event&) {
    seen.push_back("pointer " + std::to_string(dispatch.pointerDuringDelivery()->x));
  });
  dispatch.addGlobalMonitor(kEventMaskKeyDown, [&](const Event& event) {
    seen.push_back("key " + *event.charactersIgnoringModifiers);
    dispatch.addGlobalMonitor(kEventMaskKeyDown, [late](const Event&) { late(); });
  });
  dispatch.addWorkspaceObserver(WorkspaceNotification::activeSpaceDidChange,
                                [&] { seen.push_back("space"); });
  dispatch.addWorkspaceObserver(WorkspaceNotification::didActivateApplication, [&] {
    seen.push_back("activation");
    dispatch.addWorkspaceObserver(WorkspaceNotification::didActivateApplication, late);
  });
  dispatch.inputPointerMoved(Point{7, 9});
  EXPECT_FALSE(dispatch.pointerDuringDelivery());
  dispatch.inputKeyDownElsewhere(keyDown("q"));
  dispatch.inputWorkspaceChange(WorkspaceNotification::didActivateApplication);
  dispatch.inputToggleRequest();
  EXPECT_EQ(seen,
            (std::vector<std::string>{"pointer 7.000000", "key q", "activation", "key b", "late"}));
}

// Local monitors form a chain: each gets what the one before returned, and a consumed event
// goes no further, neither to a later monitor nor to the window.
TEST(EventDispatch, LocalMonitorsChainAndAConsumedKeyGoesNoFurther) {
  EventDispatch dispatch;
  std::vector<std::string> seen;
  auto record = [&](std::string name, std::optional<std::string> consume) {
    return [&seen, name, consume](const Event& event) -> std::optional<Event> {
      const std::string text = *event.charactersIgnoringModifiers;
      seen.push_back(name + " " + text);
      if (text == consume) return std::nullopt;
      return keyDown(text + "!");
    };
  };
  dispatch.addLocalMonitor(kEventMaskMouseMoved, record("pointer", std::nullopt));
  dispatch.addLocalMonitor(kEventMaskKeyDown, record("first", std::nullopt));
  dispatch.addLocalMonitor(kEventMaskKeyDown, record("second", "b!"));
  dispatch.addLocalMonitor(kEventMaskKeyDown, record("third", std::nullopt));
  EXPECT_TRUE(dispatch.inputKeyDownInOwnWindow(keyDown("q")));
  EXPECT_FALSE(dispatch.inputKeyDownInOwnWindow(keyDown("b")));
  EXPECT_EQ(seen, (std::vector<std::string>{"first q", "second q!", "third q!!", "first b",
                                            "second b!"}));
}

}  // namespace
}  // namespace platform
