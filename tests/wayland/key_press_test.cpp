#include "platform/wayland/key_press.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace platform::wayland {
namespace {

// Super+B, Super+Q, Escape, the arrows and Return reach the menu in the scenarios (wtype on sway,
// fake input on KWin); the other modifiers and Shift's upper case only here.
TEST(KeyPress, ShiftControlAndAltReachTheEventAndShiftGivesUpperCase) {
  const KeyPress key{XKB_KEY_B, false, true, true, true};
  const Event event = keyDownEventFor(key);
  EXPECT_EQ(event.modifierFlags,
            kEventModifierFlagShift | kEventModifierFlagControl | kEventModifierFlagOption);
  EXPECT_EQ(event.charactersIgnoringModifiers, "B");
  EXPECT_EQ(qtModifiersFor(key), Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(qtKeyFor(XKB_KEY_F1), 0);
}

}  // namespace
}  // namespace platform::wayland
