// Pointer moves anywhere on the launcher's display, as the global input sees them. Its keys:
// Super+B through the whole program, its key still reaching the focused application, in
// test_stacking.py; Super+B in our own open menu toggling once, and again once the menu has
// closed, in test_quillmere.py.
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

// Steady movement is coalesced to at most one delivery per 10 ms, the last one delivered where
// the pointer came to rest. That a warp is no move: test_lifecycle.py, whose shake would come
// early.
TEST(GlobalInput, MovementIsCoalescedWithATrailingDelivery) {
  GlobalInput input(qgetenv("DISPLAY"));  // the private display, as the whole process uses
  ASSERT_TRUE(input.available());
  std::vector<QPoint> moves;
  std::vector<qint64> moveTimes;
  QElapsedTimer clock;
  clock.start();
  input.setPointerMovedHandler([&](QPoint position) {
    moves.push_back(position);
    moveTimes.push_back(clock.elapsed());
  });
  ASSERT_EQ(QProcess::execute("xdotool", {"mousemove", "100", "100"}), 0);
  QStringList steps;
  for (int i = 0; i < 30; ++i)
    steps.append({"mousemove_relative", "--", "4", "0", "sleep", "0.002"});
  // The event loop runs meanwhile, so that the moves are read as they happen.
  QProcess mover;
  mover.start("xdotool", steps);
  const QPoint end(220, 100);
  ASSERT_TRUE(waitUntil([&] { return !moves.empty() && moves.back() == end; }));
  runEventLoopFor(0.05);
  mover.waitForFinished();
  // Delivering only once the pointer rests would give a single call.
  EXPECT_GE(moves.size(), 4u) << moves.size();
  for (std::size_t i = 1; i < moveTimes.size(); ++i) {
    EXPECT_GE(moveTimes[i] - moveTimes[i - 1], 9) << "delivery " << i;
  }
  EXPECT_EQ(moves.back(), end);
  EXPECT_EQ(input.queryPointer(), end);
}

}  // namespace
}  // namespace platform::x11
