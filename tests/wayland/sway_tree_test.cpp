#include "platform/wayland/sway_tree.h"

#include <gtest/gtest.h>

#include <string>

namespace platform::wayland {
namespace {

constexpr ProcessId kOwnPid = 4242;

// Two outputs; on the first, a workspace with a tiled split (windows 10 and 11) and a
// floating window 12; on the second, a workspace with a fullscreen window 20. Focus: the
// floating window 12, then 11, then 10; of the outputs the first was focused last. (Windows
// that are not visible are skipped: test_overlays.py's empty workspace lists none.)
std::string desktopTree(const std::string& focusedFlags = R"("focused":true)") {
  return R"({"id":1,"type":"root","focus":[3,2],"nodes":[
    {"id":2,"type":"output","name":"HEADLESS-2","focus":[7],"nodes":[
      {"id":7,"type":"workspace","name":"2","focus":[20],"nodes":[
        {"id":20,"type":"con","pid":200,"visible":true,"focused":false,"fullscreen_mode":1,
         "nodes":[],"floating_nodes":[]}],"floating_nodes":[]}]},
    {"id":3,"type":"output","name":"HEADLESS-1","focus":[4],"nodes":[
      {"id":4,"type":"workspace","name":"1","focus":[12,9],"nodes":[
        {"id":9,"type":"con","layout":"splith","focus":[11,10],"nodes":[
          {"id":10,"type":"con","pid":100,"visible":true,"focused":false,"nodes":[],
           "floating_nodes":[]},
          {"id":11,"type":"con","pid":110,"visible":true,"focused":false,"nodes":[],
           "floating_nodes":[]}],"floating_nodes":[]}],
       "floating_nodes":[
        {"id":12,"type":"floating_con","pid":120,"visible":true,)" +
         focusedFlags + R"(,"nodes":[],"floating_nodes":[]}]}]}]})";
}

std::vector<std::int64_t> idsOf(const SwayTreeSnapshot& snapshot) {
  std::vector<std::int64_t> ids;
  for (const SwayView& view : snapshot.views) ids.push_back(view.id);
  return ids;
}

// The list made of them, every window at level 0 with its id and owner: test_overlays.py's
// window list, and its overlays at level -1 below them.
TEST(SwayTree, VisibleWindowsFrontToBackByFocusOrderAndTheFocusedOwner) {
  const auto snapshot = parseSwayTree(desktopTree(), kOwnPid);
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(idsOf(*snapshot), (std::vector<std::int64_t>{12, 11, 10, 20}));
  EXPECT_EQ(snapshot->frontmostPid, 120);
  EXPECT_EQ(snapshot->focusedOutput, "HEADLESS-1");
}

// A focused empty workspace still names its output (the desktop frontmost on an empty
// workspace: test_overlays.py).
TEST(SwayTree, AFocusedEmptyWorkspaceNamesItsOutput) {
  std::string tree = desktopTree(R"("focused":false)");
  const std::string workspace = R"("name":"2",)";
  tree.insert(tree.find(workspace) + workspace.size(), R"("focused":true,)");
  const auto snapshot = parseSwayTree(tree, kOwnPid);
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(snapshot->focusedOutput, "HEADLESS-2");
}

TEST(SwayTree, OurOwnWindowsAreLeftOutButStillTakeTheFocus) {
  std::string tree = desktopTree();
  tree.replace(tree.find("\"pid\":120"), 9, "\"pid\":" + std::to_string(kOwnPid));
  const auto snapshot = parseSwayTree(tree, kOwnPid);
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(idsOf(*snapshot), (std::vector<std::int64_t>{11, 10, 20}));
  EXPECT_EQ(snapshot->frontmostPid, kOwnPid);
}

// One view inside a workspace, with the given fields.
std::string oneView(const std::string& fields) {
  return R"({"type":"root","nodes":[{"type":"workspace","nodes":[{"type":"con",)" + fields +
         R"(,"nodes":[]}]}]})";
}

// Pids past 32 bits, negative or fractional: pidOf's cases in window_report_cache_test.cpp.
// Crashes on any tree, and nodes of the wrong kinds: the sway_ipc fuzzer.
TEST(SwayTree, HostileFieldsAreSkippedNotTrusted) {
  struct Case {
    const char* name;
    std::string json;
    std::vector<std::int64_t> ids;
    std::optional<ProcessId> pid;
    ProcessId frontmost;
  };
  const char* base = R"("id":7,"visible":true,"focused":true)";
  const Case cases[] = {
      {"plain", oneView(std::string(base) + R"(,"pid":9)"), {7}, 9, 9},
      {"pid as text", oneView(std::string(base) + R"(,"pid":"9")"), {7}, {}, -1},
      {"id missing", oneView(R"("visible":true,"pid":9)"), {}, {}, -1},
      {"id as text", oneView(R"("id":"7","visible":true,"pid":9)"), {}, {}, -1},
      {"id zero", oneView(R"("id":0,"visible":true,"pid":9)"), {}, {}, -1},
      {"id -1", oneView(R"("id":-1,"visible":true,"pid":9)"), {}, {}, -1},
      {"visible as text", oneView(R"("id":7,"visible":"yes","pid":9)"), {}, {}, -1},
      {"a duplicate id counts once, the first wins",
       R"({"nodes":[{"id":7,"type":"con","pid":1,"visible":true,"nodes":[]},)"
       R"({"id":7,"type":"con","pid":2,"visible":true,"nodes":[]}]})",
       {7},
       1,
       -1},
  };
  for (const Case& c : cases) {
    const auto snapshot = parseSwayTree(c.json, kOwnPid);
    ASSERT_TRUE(snapshot) << c.name;
    EXPECT_EQ(idsOf(*snapshot), c.ids) << c.name;
    if (!c.ids.empty()) {
      EXPECT_EQ(snapshot->views[0].pid, c.pid) << c.name;
    }
    EXPECT_EQ(snapshot->frontmostPid, c.frontmost) << c.name;
  }
}

}  // namespace
}  // namespace platform::wayland
