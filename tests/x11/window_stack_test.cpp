#include "platform/x11/window_stack.h"

#include <gtest/gtest.h>

namespace platform::x11 {
namespace {

using Order = std::vector<xcb_window_t>;
constexpr xcb_window_t kRoot = 1;

// Windows made, raised and put into frames under each window manager of test_stacking.py; here
// what those desktops seldom do as well.
TEST(WindowStack, FollowsTheStructureEventsOfTheRoot) {
  WindowStack stack;
  stack.reset({20, 30, 10, 40});
  EXPECT_TRUE(stack.restacked(40, XCB_NONE));  // lowered to the bottom
  EXPECT_EQ(stack.bottomToTop(), (Order{40, 20, 30, 10}));
  EXPECT_FALSE(stack.restacked(20, 99));  // unknown sibling: order no longer trusted

  stack.circulated(40, true);
  EXPECT_EQ(stack.bottomToTop().back(), 40u);
  stack.circulated(40, false);
  EXPECT_EQ(stack.bottomToTop().front(), 40u);

  stack.reparented(30, 555, kRoot);  // into a frame: no longer the root's child
  EXPECT_FALSE(stack.contains(30));
  stack.reparented(30, kRoot, kRoot);
  EXPECT_EQ(stack.bottomToTop().back(), 30u);
  stack.destroyed(30);
  EXPECT_FALSE(stack.contains(30));

  EXPECT_TRUE(stack.isDirectlyAbove(40, XCB_NONE));
  EXPECT_FALSE(stack.isDirectlyAbove(20, XCB_NONE));
}

TEST(OverlayStacking, OnlyWindowsWithAPixelOnAMonitorCount) {
  const std::vector<PixelRect> monitors = {{0, 0, 1600, 900}, {1600, 100, 800, 600}};
  EXPECT_FALSE(liesOnAnyMonitor({-100, -100, 1, 1}, monitors));  // a window manager's helper
  EXPECT_FALSE(liesOnAnyMonitor({-10, 0, 10, 900}, monitors));   // touching the left edge
  EXPECT_TRUE(liesOnAnyMonitor({-10, 0, 11, 900}, monitors));
  EXPECT_FALSE(liesOnAnyMonitor({1600, 0, 100, 100}, monitors));  // in the gap above the second
  EXPECT_TRUE(liesOnAnyMonitor({1600, 99, 100, 2}, monitors));
  EXPECT_FALSE(liesOnAnyMonitor({0, 900, 1600, 10}, monitors));
  EXPECT_FALSE(liesOnAnyMonitor({100, 100, 0, 0}, monitors));
  EXPECT_FALSE(liesOnAnyMonitor({0x7FFFFFF0, 0, 0x7FFFFFFF, 10}, monitors));  // no wrap
  EXPECT_FALSE(liesOnAnyMonitor({0, 0, 100, 100}, {}));
}

// Bottom to top: desktop, a below-layer window, two normal ones, a floating one, a dock.
std::vector<StackEntry> desk(xcb_window_t overlay, std::size_t overlayIndex) {
  std::vector<StackEntry> entries = {{1, -1000}, {2, -1}, {3, 0}, {4, std::nullopt},
                                     {5, 0},     {6, 3},  {7, 20}};
  entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(overlayIndex),
                 StackEntry{overlay, std::nullopt});
  return entries;
}

TEST(OverlayStacking, SitsDirectlyBelowTheLowestWindowAboveItsLevel) {
  const struct {
    std::int64_t level;
    std::optional<xcb_window_t> reference;
  } cases[] = {
      {-1001, 1},         {-1000, 2},         {-2, 2}, {-1, 3}, {0, 6}, {2, 6}, {3, 7}, {19, 7},
      {20, std::nullopt}, {101, std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(restackReference(desk(99, 0), c.level), c.reference) << "level " << c.level;
  }
}

TEST(OverlayStacking, PlacementIgnoresWindowsThatDoNotCount) {
  const xcb_window_t overlay = 99;
  EXPECT_TRUE(isPlacedFor(desk(overlay, 2), overlay, 3));   // between 2 and 3
  EXPECT_FALSE(isPlacedFor(desk(overlay, 1), overlay, 3));  // below 2, which is counted
  EXPECT_FALSE(isPlacedFor(desk(overlay, 3), overlay, 3));  // above its reference
  // Window 4 does not count (unmapped or hidden): either side of it is directly below 5.
  EXPECT_TRUE(isPlacedFor(desk(overlay, 4), overlay, 5));
  EXPECT_TRUE(isPlacedFor(desk(overlay, 3), overlay, 5));
  EXPECT_FALSE(isPlacedFor(desk(overlay, 5), overlay, 5));
  EXPECT_TRUE(isPlacedFor(desk(overlay, 7), overlay, std::nullopt));
  EXPECT_FALSE(isPlacedFor(desk(overlay, 6), overlay, std::nullopt));
  EXPECT_FALSE(isPlacedFor(desk(overlay, 2), 12345, 3));  // not in the stack at all

  // Two overlays below the same window do not push each other around.
  auto entries = desk(overlay, 2);
  entries.insert(entries.begin() + 3, StackEntry{98, std::nullopt});
  EXPECT_TRUE(isPlacedFor(entries, overlay, 3));
  EXPECT_TRUE(isPlacedFor(entries, 98, 3));
}

}  // namespace
}  // namespace platform::x11
