#include "platform/x11/input/local_key_filter.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <vector>

#include "display_test_support.h"

namespace platform::x11 {
namespace {

using namespace quillmere::test;

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
    window.presses.clear();
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
