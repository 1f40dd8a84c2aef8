#include "platform/wayland/sway_window_cache.h"

#include <gtest/gtest.h>

#include <string>

namespace platform::wayland {
namespace {

using sway_ipc::Message;
using Notes = std::vector<WorkspaceNotification>;
constexpr auto kActivate = WorkspaceNotification::didActivateApplication;
constexpr auto kSpace = WorkspaceNotification::activeSpaceDidChange;

Message windowEvent(const std::string& change) {
  return {sway_ipc::kWindowEvent, R"({"change":")" + change + R"(","container":{}})"};
}
Message workspaceEvent(const std::string& change) {
  return {sway_ipc::kWorkspaceEvent, R"({"change":")" + change + R"("})"};
}
// A tree with one visible window of `pid`, focused or not, standing at x.
Message tree(ProcessId pid, bool focused, int x = 0) {
  return {sway_ipc::kGetTree,
          R"({"nodes":[{"id":8,"type":"con","visible":true,"pid":)" + std::to_string(pid) +
              R"(,"focused":)" + (focused ? "true" : "false") + R"(,"rect":{"x":)" +
              std::to_string(x) + R"(,"y":0,"width":100,"height":50},"nodes":[]}]})"};
}
// What the cache sends to ask for one tree.
const std::string kTreeRequest = sway_ipc::encode(sway_ipc::kGetTree, {});

// Every change but the quiet ones asks for a tree; the scenarios make new, closed and moved
// windows.
TEST(SwayEventEffect, OnlyChangesThatCanMoveWindowsOrFocusAskForATree) {
  struct Case {
    Message event;
    bool refresh;
    bool space;
  };
  const Case cases[] = {
      {windowEvent("focus"), true, false},
      {windowEvent("title"), false, false},
      {windowEvent("mark"), false, false},
      {windowEvent("urgent"), false, false},
      {workspaceEvent("focus"), true, true},
      {workspaceEvent("rename"), false, false},
      {workspaceEvent("urgent"), false, false},
      {{sway_ipc::kWindowEvent, "not json"}, true, false},
      {{sway_ipc::kEventBit | 1, R"({"change":"focus"})"}, false, false},  // output events
  };
  for (const Case& c : cases) {
    const SwayEventEffect effect = effectOfEvent(c.event);
    EXPECT_EQ(effect.refreshTree, c.refresh) << c.event.payload;
    EXPECT_EQ(effect.spaceChanged, c.space) << c.event.payload;
  }
}

// A cache that has its subscription and a first tree: window 8 of pid 77, focused.
class SwayWindowCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cache.start();
    cache.handle(tree(77, true));
  }
  SwayWindowCache cache{4242};
};

// sway announces no move or resize by the pointer: a look at the layout finds it.
TEST_F(SwayWindowCacheTest, ALookAtTheLayoutTellsAMovedWindowOnlyOnce) {
  EXPECT_EQ(cache.checkLayout().send, kTreeRequest);
  EXPECT_EQ(cache.checkLayout().send, "");  // one tree at a time
  EXPECT_FALSE(cache.handle(tree(77, true)).exposureChanged);

  cache.checkLayout();
  const auto moved = cache.handle(tree(77, true, 30));
  EXPECT_TRUE(moved.exposureChanged);
  EXPECT_TRUE(moved.notifications.empty());  // same owner, same focus
  cache.checkLayout();
  EXPECT_FALSE(cache.handle(tree(77, true, 30)).exposureChanged);
}

// An activation only when the owner changes: the contract suite on sway, where a new window
// brings both a new and a focus event; the desktop after the last window: test_overlays.py.
// A workspace switch posts the space change first, once the tree after the last event is in.
TEST_F(SwayWindowCacheTest, EventsDuringARequestAskForOneMoreTreeAndNotificationsWait) {
  EXPECT_EQ(cache.handle(workspaceEvent("focus")).send, kTreeRequest);
  EXPECT_EQ(cache.handle(windowEvent("focus")).send, "") << "one request in flight at a time";
  EXPECT_EQ(cache.handle(windowEvent("new")).send, "");

  const auto stale = cache.handle(tree(88, true));
  EXPECT_EQ(stale.send, kTreeRequest) << "one more tree for the events in between";
  EXPECT_EQ(stale.notifications, Notes{});
  EXPECT_EQ(cache.frontmostPid(), 88) << "the cache itself is current";

  EXPECT_EQ(cache.handle(tree(99, true)).notifications, (Notes{kSpace, kActivate}));
  EXPECT_EQ(cache.handle(tree(99, true)).send, "") << "nothing is asked for without an event";
}

TEST_F(SwayWindowCacheTest, AnUnreadableTreeKeepsTheLastGoodOne) {
  cache.handle(windowEvent("focus"));
  EXPECT_EQ(cache.handle({sway_ipc::kGetTree, "garbage"}).notifications, Notes{});
  EXPECT_EQ(cache.frontmostPid(), 77);
  EXPECT_EQ(cache.windowList()->size(), 1u);
  EXPECT_EQ(cache.handle(windowEvent("focus")).send, kTreeRequest) << "not stuck in flight";
  EXPECT_EQ(cache.requestsSent(), 4u) << "the subscription and three trees";
}

}  // namespace
}  // namespace platform::wayland
