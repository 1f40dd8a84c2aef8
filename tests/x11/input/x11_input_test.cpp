// Key presses and pointer moves on the launcher's display: seen anywhere by the global input,
// and in our own windows by the local key filter. Super+B through the whole program, with its
// key still reaching the focused application: test_input.py.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "platform/x11/input/global_input.h"
#include "platform/x11/input/local_key_filter.h"
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

// A window of the test's own that records the keys Qt delivers to it.
class KeyRecorder final : public QWidget {
 public:
  KeyRecorder() { setFocusPolicy(Qt::StrongFocus); }
  std::vector<int> keys;
  bool received(int key) const { return std::find(keys.begin(), keys.end(), key) != keys.end(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
};

// Shows the widget and gives it the keyboard focus of the X server.
bool showFocused(QWidget& widget) {
  widget.resize(200, 100);
  widget.show();
  if (!waitUntil([&] { return widget.isVisible() && widget.windowHandle() != nullptr; })) {
    return false;
  }
  QCoreApplication::processEvents();
  if (!xdotool({"windowfocus", "--sync", QString::number(widget.winId())})) return false;
  return waitUntil([&] { return QApplication::activeWindow() == &widget; });
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

// Each key typed into our own window is offered once; a consumed key reaches neither the
// window nor a shortcut of the same keys, and any other key goes on as usual.
TEST(LocalKeyFilter, OffersEachKeyOnceAndAConsumedKeyGoesNoFurther) {
  KeyRecorder window;
  int shortcutRuns = 0;
  QAction shortcut(&window);
  shortcut.setShortcut(QKeySequence(Qt::META | Qt::Key_B));
  QObject::connect(&shortcut, &QAction::triggered, [&] { ++shortcutRuns; });
  window.addAction(&shortcut);

  LocalKeyFilter filter;
  std::vector<Event> offered;
  filter.setKeyDownHandler([&](const Event& event) {
    const std::string text = event.charactersIgnoringModifiers.value_or("x");
    if (text == "x") return false;
    offered.push_back(event);
    return (event.modifierFlags & kEventModifierFlagCommand) != 0 && (text == "b" || text == "B");
  });
  qApp->installEventFilter(&filter);
  ASSERT_TRUE(showFocused(window));

  const struct {
    const char* keys;
    EventModifierFlags flags;
    std::string text;
    bool reachesWindow;
    int qtKey;
  } cases[] = {
      {"super+b", kEventModifierFlagCommand, "b", false, Qt::Key_B},
      {"super+shift+b", kEventModifierFlagCommand | kEventModifierFlagShift, "B", false, Qt::Key_B},
      {"b", 0, "b", true, Qt::Key_B},
      {"ctrl+b", kEventModifierFlagControl, "b", true, Qt::Key_B},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    offered.clear();
    window.keys.clear();
    // The x that follows marks the end: once it is in, the key before it has been handled.
    ASSERT_TRUE(xdotool({"key", c.keys, "x"}));
    ASSERT_TRUE(waitUntil([&] { return window.received(Qt::Key_X); }));
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].type, EventType::keyDown);
    EXPECT_EQ(offered[0].modifierFlags, c.flags);
    EXPECT_EQ(offered[0].charactersIgnoringModifiers, c.text);
    EXPECT_EQ(window.received(c.qtKey), c.reachesWindow);
  }
  EXPECT_EQ(shortcutRuns, 0);
  qApp->removeEventFilter(&filter);
}

}  // namespace
}  // namespace platform::x11
