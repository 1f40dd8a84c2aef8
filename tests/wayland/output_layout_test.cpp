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

TEST(OutputLayout, AWindowFrameFindsItsOutput) {
  const std::vector<OutputPlacement> outputs = {
      {0, 0, 800, 600, 1}, {0, 0, 0, 0, 1}, {800, 0, 640, 360, 2}};
  EXPECT_EQ(outputForFrame(outputs, makeRect(0, 0, 800, 600)), 0u);
  EXPECT_EQ(outputForFrame(outputs, makeRect(800, 240, 640, 360)), 2u);
  EXPECT_EQ(outputForFrame(outputs, makeRect(900, 300, 10, 10)), 2u) << "by its centre";
  EXPECT_EQ(outputForFrame(outputs, makeRect(790, 300, 20, 10)), 2u) << "centre on the edge";
  EXPECT_EQ(outputForFrame(outputs, makeRect(2000, 0, 10, 10)), std::nullopt);
  EXPECT_EQ(outputForFrame({}, makeRect(0, 0, 800, 600)), std::nullopt);
}

}  // namespace
}  // namespace platform::wayland
