#include "platform/wayland/output_layout.h"

#include <gtest/gtest.h>

namespace platform::wayland {
namespace {

// A second output to the right at scale 2: test_overlays.py's screens.
TEST(OutputLayout, FramesCountFromThePrimaryBottomLeftWithYUp) {
  struct Case {
    const char* name;
    std::vector<OutputPlacement> outputs;
    std::vector<Rect> frames;
  };
  const Case cases[] = {
      {"second below",
       {{0, 0, 800, 600, 1}, {0, 600, 800, 600, 1}},
       {makeRect(0, 0, 800, 600), makeRect(0, -600, 800, 600)}},
      {"primary not at the origin",
       {{100, 50, 800, 600, 1}, {0, 0, 100, 100, 1}},
       {makeRect(100, 0, 800, 600), makeRect(0, 550, 100, 100)}},
      {"a sizeless output is skipped and is not primary",
       {{0, 0, 0, 0, 1}, {-800, 0, 800, 600, 1}},
       {makeRect(-800, 0, 800, 600)}},
  };
  for (const Case& c : cases) EXPECT_EQ(framesOf(c.outputs), c.frames) << c.name;
}

// outputForFrame places each overlay, whose frame is its output's: the scenarios' dim on every
// output of sway and KWin.

}  // namespace
}  // namespace platform::wayland
