#include "platform/x11/input/global_input.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <vector>

#include "../private_display.h"
#include "display_test_support.h"

namespace platform::x11 {
namespace {

using namespace quillmere::test;

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

// Super+B alone goes through the whole program in test_input.py; Shift shows that the state's
// other bits and the shifted text come through as well.
TEST_F(GlobalInputTest, KeyPressesCarryModifiersAndTextAndStillReachTheFocusedWindow) {
  KeyRecorder window;
  ASSERT_TRUE(showFocused(window));
  ASSERT_TRUE(xdotool({"key", "super+shift+b"}));
  ASSERT_TRUE(waitUntil([&] { return window.received(Qt::Key_B) && !keys_.empty(); }));
  runEventLoopFor(0.03);
  ASSERT_EQ(keys_.size(), 1u);
  EXPECT_EQ(keys_[0].type, EventType::keyDown);
  EXPECT_EQ(keys_[0].modifierFlags, kEventModifierFlagCommand | kEventModifierFlagShift);
  EXPECT_EQ(keys_[0].charactersIgnoringModifiers, "B");
  // Nothing is grabbed: the focused window got the same key.
  ASSERT_EQ(window.presses.back().first, Qt::Key_B);
  EXPECT_EQ(window.presses.back().second, Qt::MetaModifier | Qt::ShiftModifier);
}

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

TEST(GlobalInputConnection, AKilledServerGivesConnectionLostOnce) {
  PrivateDisplay server(320, 240);
  ASSERT_TRUE(server.running());
  GlobalInput input(QByteArray::fromStdString(server.name()));
  ASSERT_TRUE(input.available());
  int lost = 0;
  QObject::connect(&input, &GlobalInput::connectionLost, [&] { ++lost; });

  server.killServer();
  ASSERT_TRUE(waitUntil([&] { return lost > 0; }));
  runEventLoopFor(0.05);
  EXPECT_EQ(lost, 1);
  EXPECT_FALSE(input.available());
  EXPECT_FALSE(input.queryPointer());

  // Not the killed server's name: another test's Xvfb may take its number at once.
  GlobalInput unreachable(":4711");
  EXPECT_FALSE(unreachable.available());
  EXPECT_FALSE(unreachable.queryPointer());
}

}  // namespace
}  // namespace platform::x11
