#include <gtest/gtest.h>

#include "input/command_b.h"
#include "tests/core/sim_fixture.h"

namespace quillmere {
namespace {

using namespace platform;

TEST(CommandBTest, NeedsCommandAndTheLetterB) {
  struct Case {
    EventModifierFlags flags;
    std::optional<std::string> text;
    bool matches;
  };
  const EventModifierFlags command = kEventModifierFlagCommand;
  const Case cases[] = {
      {command, "b", true},
      // Other modifiers held with Command do not matter.
      {command | kEventModifierFlagShift | kEventModifierFlagOption | kEventModifierFlagControl |
           kEventModifierFlagCapsLock | kEventModifierFlagFunction,
       "B", true},
      {0, "b", false},
      {kEventModifierFlagControl | kEventModifierFlagOption, "b", false},
      {command >> 1, "b", false},
      {command, std::nullopt, false},
      {command, "", false},
      {command, "q", false},
      {command, "bb", false},
      {command, "\xEF\xBD\x82", false},  // fullwidth b
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isCommandB(Event{EventType::keyDown, c.flags, c.text}), c.matches)
        << "flags " << c.flags << " text " << c.text.value_or("<none>");
  }
}

TEST_F(SimTest, RestacksOnNotificationsAndEveryTick) {
  sim->frontmost = RunningApplication{77};
  QuillmereApp& app = makeDelegateWithOverlays();
  app.startMonitoring();
  // The first stacking happened during set-up, before any tick.
  int queries = sim->windowListQueries;
  EXPECT_EQ(queries, 1);
  sim->activateApplication(78);
  EXPECT_EQ(sim->windowListQueries, ++queries);
  sim->switchSpace();
  EXPECT_EQ(sim->windowListQueries, ++queries);
  sim->advance(0.55);  // fade steps also run; only the 0.1 s timer restacks
  EXPECT_EQ(sim->windowListQueries, queries + 5);

  sim->foreignWindows = std::make_shared<WindowInfoList>(WindowInfoList{windowInfo(3, 77, 8)});
  sim->activateApplication(77);
  EXPECT_EQ(app.overlayWindows[0]->level(), 7);
}

}  // namespace
}  // namespace quillmere
