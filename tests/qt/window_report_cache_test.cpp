#include "platform/qt/window_report_cache.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/qt/window_report.h"

namespace platform::qt {
namespace {

using Notes = std::vector<WorkspaceNotification>;
constexpr auto kActivate = WorkspaceNotification::didActivateApplication;
constexpr auto kSpace = WorkspaceNotification::activeSpaceDidChange;
constexpr ProcessId kOwnPid = 4242;

std::string window(const std::string& id, ProcessId pid, int layer = 2,
                   const std::string& extra = "") {
  return R"({"id":")" + id + R"(","pid":)" + std::to_string(pid) + R"(,"layer":)" +
         std::to_string(layer) + extra + "}";
}
std::string report(const std::string& windows, ProcessId active, int desktop = 1) {
  return R"({"windows":[)" + windows + R"(],"active":)" + std::to_string(active) +
         R"(,"desktop":)" + std::to_string(desktop) + "}";
}

std::vector<std::int64_t> column(const WindowInfoList& list, std::string_view key) {
  std::vector<std::int64_t> values;
  for (const WindowInfo& info : list)
    values.push_back(std::get<std::int64_t>(info.at(std::string(key))));
  return values;
}

TEST(StackLayerLevel, FollowsTheLayerTable) {
  const std::pair<std::int64_t, std::int64_t> cases[] = {
      {0, -1000}, {1, -1},  {2, 0},   {3, 20},   {4, 3},  {5, 101}, {6, 0},
      {7, 101},   {8, 101}, {9, 101}, {10, 101}, {11, 0}, {-1, 0},
  };
  for (const auto& [layer, level] : cases) EXPECT_EQ(levelOfStackLayer(layer), level) << layer;
}

TEST(WindowReport, HostileFieldsTakeTheirDefaultsAndBadWindowsAreLeftOut) {
  const std::string longId(kMaxReportedWindowIdBytes + 1, 'x');
  const auto parsed = parseWindowReport(
      R"({"windows":[7,"w",{"pid":3},{"id":""},{"id":")" + longId +
      R"("},{"id":"ok","pid":-5,"layer":2.5,"opacity":"x","keepAbove":1,"shown":0},)"
      R"({"id":"ok","pid":9},{"id":"big","pid":4294967296,"opacity":7},)"
      R"({"id":"neg","opacity":-2}],"active":"12","desktop":1.5})");
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->windows.size(), 3u);
  EXPECT_EQ(parsed->windows[0].id, "ok");
  EXPECT_EQ(parsed->windows[0].pid, std::nullopt);
  EXPECT_EQ(parsed->windows[0].layer, std::nullopt);
  EXPECT_DOUBLE_EQ(parsed->windows[0].opacity, 1.0);
  EXPECT_FALSE(parsed->windows[0].keepAbove);
  EXPECT_TRUE(parsed->windows[0].shown);
  EXPECT_EQ(parsed->windows[1].pid, std::nullopt);
  EXPECT_DOUBLE_EQ(parsed->windows[1].opacity, 1.0);
  EXPECT_DOUBLE_EQ(parsed->windows[2].opacity, 0.0);
  EXPECT_EQ(parsed->activePid, -1);
  EXPECT_EQ(parsed->desktop, std::nullopt);

  EXPECT_FALSE(parseWindowReport("not json"));
  EXPECT_FALSE(parseWindowReport("[1,2]"));
  ASSERT_TRUE(parseWindowReport("{}"));
  EXPECT_TRUE(parseWindowReport("{}")->windows.empty());
}

TEST(WindowReport, SizeAndWindowCountAreCapped) {
  std::string windows;
  for (std::size_t i = 0; i <= kMaxReportedWindows; ++i) {
    if (i) windows += ',';
    windows += window(std::to_string(i), 1);
  }
  const auto parsed = parseWindowReport(report(windows, 1));
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->windows.size(), kMaxReportedWindows);
  EXPECT_EQ(parsed->windows.back().id, std::to_string(kMaxReportedWindows - 1));

  std::string padded = report("", 1);
  padded.insert(1, std::string(kMaxWindowReportBytes - padded.size(), ' '));
  EXPECT_TRUE(parseWindowReport(padded));
  EXPECT_FALSE(parseWindowReport(padded + " "));
}

TEST(WindowReportCache, BuildsTheWindowListWithoutOwnOrHiddenWindows) {
  WindowReportCache cache(kOwnPid);
  EXPECT_EQ(cache.windowList(), nullptr);
  EXPECT_EQ(cache.frontmostPid(), std::nullopt);
  cache.handle(report(window("osd", 5, 9) + "," + window("own", kOwnPid, 2) + "," +
                          window("top", 6, 4, R"(,"opacity":0.25)") + "," +
                          window("min", 7, 2, R"(,"shown":false)") + "," + window("dock", 8, 3) +
                          "," + window("desk", 9, 0),
                      kOwnPid));
  const auto list = cache.windowList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(column(*list, kWindowOwnerPidKey), (std::vector<std::int64_t>{5, 6, 8, 9}));
  EXPECT_EQ(column(*list, kWindowLayerKey), (std::vector<std::int64_t>{101, 3, 20, -1000}));
  EXPECT_DOUBLE_EQ(std::get<double>((*list)[1].at(std::string(kWindowAlphaKey))), 0.25);
  EXPECT_DOUBLE_EQ(std::get<double>((*list)[0].at(std::string(kWindowAlphaKey))), 1.0);
  // Own windows still count as the active one.
  EXPECT_EQ(cache.frontmostPid(), kOwnPid);

  // Without a pid or a layer: no owner, and the level of its keep-above.
  cache.handle(R"({"windows":[{"id":"a","keepAbove":true},{"id":"b"}],"active":null})");
  ASSERT_EQ(cache.windowList()->size(), 2u);
  EXPECT_FALSE((*cache.windowList())[0].contains(kWindowOwnerPidKey));
  EXPECT_EQ(column(*cache.windowList(), kWindowLayerKey), (std::vector<std::int64_t>{3, 0}));
  EXPECT_EQ(cache.frontmostPid(), -1);
}

// A window keeps its number when restacked; one that comes back under a closed window's id is a
// new window, whose number no window had before.
TEST(WindowReportCache, WindowNumbersStayWithTheirWindowsAndAreNeverReused) {
  WindowReportCache cache(kOwnPid);
  cache.handle(report(window("a", 1) + "," + window("b", 2), 1));
  const auto first = column(*cache.windowList(), kWindowNumberKey);
  ASSERT_EQ(first.size(), 2u);
  cache.handle(report(window("b", 2) + "," + window("a", 1), 1));
  EXPECT_EQ(column(*cache.windowList(), kWindowNumberKey), (std::vector{first[1], first[0]}));
  cache.handle(report(window("b", 2), 1));
  cache.handle(report(window("a", 1) + "," + window("b", 2), 1));
  const auto again = column(*cache.windowList(), kWindowNumberKey);
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[1], first[1]);
  EXPECT_NE(again[0], first[0]);
  EXPECT_NE(again[0], first[1]);
}

TEST(WindowReportCache, PostsChangesOnceTheCacheHoldsThemAndResetForgetsThem) {
  const std::string a = window("a", 1), b = window("b", 2), c = window("c", 2);
  const std::string half = window("c", 2, 2, R"(,"opacity":0.5)");
  const struct {
    const char* name;
    std::string report;
    Notes notifications;
    bool exposureChanged;
  } steps[] = {
      {"the first report", report(a + "," + b, 1), {kActivate}, true},
      {"the same picture again", report(a + "," + b, 1), {}, false},
      {"another owner active", report(b + "," + a, 2), {kActivate}, true},
      {"another desktop, the same owner", report(b, 2, 2), {kSpace}, true},
      {"a window of the same owner", report(c + "," + b, 2, 2), {}, true},
      {"a window's opacity alone", report(half + "," + b, 2, 2), {}, true},
      {"a window's layer alone",
       report(window("c", 2, 4, R"(,"opacity":0.5)") + "," + b, 2, 2),
       {},
       true},
      {"the desktop, back on the first", report("", 3, 1), {kSpace, kActivate}, true},
  };
  WindowReportCache cache(kOwnPid);
  for (const auto& step : steps) {
    const auto handled = cache.handle(step.report);
    EXPECT_EQ(handled.notifications, step.notifications) << step.name;
    EXPECT_EQ(handled.exposureChanged, step.exposureChanged) << step.name;
  }

  // An unreadable report changes nothing.
  const auto list = cache.windowList();
  const auto unreadable = cache.handle("{broken");
  EXPECT_TRUE(unreadable.notifications.empty());
  EXPECT_FALSE(unreadable.exposureChanged);
  EXPECT_EQ(cache.windowList(), list);
  EXPECT_EQ(cache.frontmostPid(), 3);

  cache.reset();
  EXPECT_EQ(cache.windowList(), nullptr);
  EXPECT_EQ(cache.frontmostPid(), std::nullopt);
  EXPECT_EQ(cache.handle(report(window("a", 1), 1)).notifications, (Notes{kActivate}));
}

}  // namespace
}  // namespace platform::qt
