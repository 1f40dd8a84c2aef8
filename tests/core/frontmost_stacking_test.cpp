#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "overlay/window_record.h"
#include "tests/core/sim_fixture.h"

namespace quillmere {
namespace {

using platform::WindowInfoList;
using platform::WindowInfoValue;

constexpr std::int64_t kFrontPid = 77;

TEST(WindowRecordTest, InexactValuesTakeTheDefaults) {
  struct Case {
    WindowInfoValue value;
    std::int32_t asInt32;
    std::int64_t asInt64;
    double asDouble;
  };
  const Case cases[] = {
      {std::int64_t{5}, 5, 5, 5.0},
      {5.0, 5, 5, 5.0},
      {2.5, 0, -1, 2.5},
      {std::string("7"), 0, -1, 1.0},
      {std::int64_t{2147483647}, 2147483647, 2147483647, 2147483647.0},
      {std::int64_t{2147483648}, 0, 2147483648, 2147483648.0},
      {std::int64_t{-2147483648LL}, -2147483647 - 1, -2147483648LL, -2147483648.0},
      {2147483647.0, 2147483647, 2147483647, 2147483647.0},
      {2147483648.0, 0, 2147483648, 2147483648.0},
      {-2147483648.0, -2147483647 - 1, -2147483648LL, -2147483648.0},
      {-2147483649.0, 0, -2147483649LL, -2147483649.0},
      {9223372036854775807.0, 0, -1, 9223372036854775807.0},  // 2^63 fits no int64
      {std::numeric_limits<double>::quiet_NaN(), 0, -1, std::numeric_limits<double>::quiet_NaN()},
      {std::int64_t{(std::int64_t{1} << 53) + 1}, 0, (std::int64_t{1} << 53) + 1, 1.0},
  };
  for (const Case& c : cases) {
    const WindowRecord record =
        readWindowRecord({{std::string(platform::kWindowOwnerPidKey), c.value},
                          {std::string(platform::kWindowLayerKey), c.value},
                          {std::string(platform::kWindowNumberKey), c.value},
                          {std::string(platform::kWindowAlphaKey), c.value}});
    SCOPED_TRACE(testing::PrintToString(c.asInt64));
    EXPECT_EQ(record.ownerPid, c.asInt32);
    EXPECT_EQ(record.layer, c.asInt32);
    EXPECT_EQ(record.number, c.asInt64);
    if (std::isnan(c.asDouble)) {
      EXPECT_TRUE(std::isnan(record.alpha));
    } else {
      EXPECT_EQ(record.alpha, c.asDouble);
    }
  }
}

class StackingTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim->screens = {platform::makeRect(0, 0, 1440, 900), platform::makeRect(1440, 0, 800, 600)};
    app = &makeDelegateWithOverlays();
    sim->frontmost = platform::RunningApplication{static_cast<platform::ProcessId>(kFrontPid)};
  }

  void setWindows(platform::WindowInfoList list) {
    sim->foreignWindows = std::make_shared<platform::WindowInfoList>(std::move(list));
  }

  std::vector<platform::WindowLevel> levels() const {
    std::vector<platform::WindowLevel> result;
    for (const auto& window : app->overlayWindows) result.push_back(window->level());
    return result;
  }

  int levelWrites() const {
    int writes = 0;
    for (const auto& window : sim->windows) writes += window.levelWrites;
    return writes;
  }

  QuillmereApp* app = nullptr;
};

// The overlays sit one level below the first window of the frontmost application that is
// visible and at the normal level or above; -1 when there is none.
TEST_F(StackingTest, FirstQualifyingWindowOfTheFrontmostApplicationDecides) {
  const auto own = static_cast<std::int64_t>(sim->ownPid);
  const struct {
    const char* what;
    std::int64_t frontmost;
    std::optional<WindowInfoList> windows;
    platform::WindowLevel level;
  } cases[] = {
      {"first qualifying", kFrontPid,
       WindowInfoList{windowInfo(1, 99, 8),                 // another application
                      windowInfo(2, kFrontPid, 5, 0.0099),  // invisible
                      windowInfo(3, kFrontPid, -1),         // below the normal level
                      windowInfo(4, kFrontPid, 3, 0.01),    // the first that qualifies
                      windowInfo(5, kFrontPid, 0)},
       2},
      // The highest layer there is still leaves a level below it.
      {"highest layer", kFrontPid, WindowInfoList{windowInfo(6, kFrontPid, 2147483647)},
       2147483646},
      // A record without layer or alpha is an opaque window at the normal level, and decides.
      {"no layer or alpha", kFrontPid,
       WindowInfoList{{{std::string(platform::kWindowOwnerPidKey), kFrontPid},
                       {std::string(platform::kWindowNumberKey), std::int64_t{9}}},
                      windowInfo(10, kFrontPid, 5)},
       -1},
      // The overlays themselves, in front of everything and fully visible, never count.
      {"own windows", own, WindowInfoList{windowInfo(50, own, 0)}, -1},
      {"no window list", kFrontPid, std::nullopt, -1},
  };
  for (const auto& c : cases) {
    for (auto& window : app->overlayWindows) window->setLevel(10);
    sim->advance(1.0);
    sim->frontmost = platform::RunningApplication{static_cast<platform::ProcessId>(c.frontmost)};
    sim->foreignWindows = c.windows ? std::make_shared<WindowInfoList>(*c.windows) : nullptr;
    app->updateFocus();
    EXPECT_EQ(levels(), (std::vector<platform::WindowLevel>{c.level, c.level})) << c.what;
  }
}

TEST_F(StackingTest, UnchangedLevelIsNotWrittenAgain) {
  setWindows({windowInfo(4, kFrontPid, 3)});
  app->updateFocus();
  const int writes = levelWrites();
  app->updateFocus();
  app->updateFocus();
  EXPECT_EQ(levelWrites(), writes);
  setWindows({windowInfo(4, kFrontPid, 0)});
  app->updateFocus();
  EXPECT_EQ(levelWrites(), writes + 2);
}

TEST_F(StackingTest, DisabledEffectOrNoFrontmostApplicationChangesNothing) {
  setWindows({windowInfo(4, kFrontPid, 3)});
  sim->frontmost.reset();
  app->updateFocus();
  EXPECT_EQ(sim->windowListQueries, 0);
  EXPECT_EQ(levels(), (std::vector<platform::WindowLevel>{-1, -1}));

  sim->frontmost = platform::RunningApplication{kFrontPid};
  app->toggleEffect();
  const int frontmostQueries = sim->frontmostQueries;
  app->updateFocus();
  EXPECT_EQ(sim->frontmostQueries, frontmostQueries);
  EXPECT_EQ(sim->windowListQueries, 0);
  EXPECT_EQ(levels(), (std::vector<platform::WindowLevel>{-1, -1}));
}

TEST_F(SimTest, NumbersAreGatheredOnceOverlaysExist) {
  sim->screens.clear();
  sim->frontmost = platform::RunningApplication{kFrontPid};
  QuillmereApp& app = makeDelegate();
  app.setupOverlay();
  app.updateFocus();
  EXPECT_TRUE(QuillmereAppInspector::overlayWindowNumbers(app).empty());

  sim->screens = {platform::makeRect(0, 0, 100, 100)};
  app.setupOverlay();
  app.updateFocus();
  const auto numbers = QuillmereAppInspector::overlayWindowNumbers(app);
  EXPECT_EQ(numbers,
            (std::unordered_set<platform::WindowNumber>{app.overlayWindows[0]->windowNumber()}));

  // Once gathered, later windows are not added.
  app.setupOverlay();
  app.updateFocus();
  EXPECT_EQ(QuillmereAppInspector::overlayWindowNumbers(app), numbers);
}

}  // namespace
}  // namespace quillmere
