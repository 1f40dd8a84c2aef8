// Key presses and pointer moves anywhere on the launcher's display, as the global input sees
// them. Super+B through the whole program, its key still reaching the focused application:
// test_stacking.py; keys in our own open menu, through the local key filter: test_quillmere.py.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <vector>

#include "platform/x11/input/global_input.h"
#include "tests/qt/qt_event_loop.h"

namespace platform::x11 {
namespace {

using qt::test::runEventLoopFor;
using qt::test::waitUntil;

// Runs xdotool on the private display; the event loop keeps running meanwhile, so that events
// are read as they happen.
bool xdotool(const QStringList& arguments) {
  QProcess process;
  process.start("xdotool", arguments);
  if (!process.waitForStarted() ||
      !waitUntil([&] { return process.state() == QProcess::NotRunning; },
                 std::chrono::seconds(10))) {
    return false;
  }
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

class GlobalInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(input_.available());
    // Only keys with text are kept: the modifier keys' own presses have none.
    input_.setKeyDownHandler([this](const Event& event) {
      ++keyDowns_;
      if (event.charactersIgnoringModifiers) keys_.push_back(event);
    });
    input_.setPointerMovedHandler([this](QPoint position) {
      moves_.push_back(position);
      moveTimes_.push_back(clock_.elapsed());
    });
    clock_.start();
  }

  GlobalInput input_{qgetenv("DISPLAY")};  // the private display, as the whole process uses
  int keyDowns_ = 0;
  std::vector<Event> keys_;
  std::vector<QPoint> moves_;
  std::vector<qint64> moveTimes_;
  QElapsedTimer clock_;
};
TEST_F(GlobalInputTest, SuppressedKeysAreDroppedAndTheNextOnesArrive) {
  input_.setKeysSuppressed(true);
  ASSERT_TRUE(xdotool({"key", "super+b", "mousemove_relative", "--", "5", "5"}));
  // The move is read after the key, so once it arrives the key has been dropped.
  ASSERT_TRUE(waitUntil([&] { return !moves_.empty(); }));
  EXPECT_EQ(keyDowns_, 0);

  input_.setKeysSuppressed(false);
  ASSERT_TRUE(xdotool({"key", "c"}));
  ASSERT_TRUE(waitUntil([&] { return !keys_.empty(); }));
  EXPECT_EQ(keys_.front().charactersIgnoringModifiers, "c");
}

// A warp is no move. Steady movement is coalesced to at most one delivery per 10 ms, the
// last one delivered where the pointer came to rest.
TEST_F(GlobalInputTest, MovementIsCoalescedWithATrailingDelivery) {
  ASSERT_TRUE(xdotool({"mousemove", "100", "100"}));
  runEventLoopFor(0.05);
  EXPECT_TRUE(moves_.empty());
  QStringList steps;
  for (int i = 0; i < 30; ++i)
    steps.append({"mousemove_relative", "--", "4", "0", "sleep", "0.002"});
  ASSERT_TRUE(xdotool(steps));
  const QPoint end(220, 100);
  ASSERT_TRUE(waitUntil([&] { return !moves_.empty() && moves_.back() == end; }));
  runEventLoopFor(0.05);
  // Delivering only once the pointer rests would give a single call.
  EXPECT_GE(moves_.size(), 4u) << moves_.size();
  for (std::size_t i = 1; i < moveTimes_.size(); ++i) {
    EXPECT_GE(moveTimes_[i] - moveTimes_[i - 1], 9) << "delivery " << i;
  }
  EXPECT_EQ(moves_.back(), end);
  EXPECT_EQ(input_.queryPointer(), end);
}

}  // namespace
}  // namespace platform::x11
