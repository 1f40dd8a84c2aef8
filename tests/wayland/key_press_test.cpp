#include "platform/wayland/key_press.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace platform::wayland {
namespace {

// Key-downs in our own menu reach the local monitors as on X11: Super is Command, and a letter
// reads as itself, in upper case only with Shift.
TEST(KeyPress, KeyDownEventsMapSuperToCommandAndLettersToThemselves) {
  const Event superB = keyDownEventFor(KeyPress{XKB_KEY_b, true, false, false, false});
  EXPECT_EQ(superB.type, EventType::keyDown);
  EXPECT_EQ(superB.modifierFlags, kEventModifierFlagCommand);
  EXPECT_EQ(superB.charactersIgnoringModifiers, "b");

  const Event shifted = keyDownEventFor(KeyPress{XKB_KEY_B, true, true, false, false});
  EXPECT_EQ(shifted.modifierFlags, kEventModifierFlagCommand | kEventModifierFlagShift);
  EXPECT_EQ(shifted.charactersIgnoringModifiers, "B");

  const Event others = keyDownEventFor(KeyPress{XKB_KEY_q, false, false, true, true});
  EXPECT_EQ(others.modifierFlags, kEventModifierFlagControl | kEventModifierFlagOption);

  EXPECT_FALSE(keyDownEventFor(KeyPress{XKB_KEY_Escape}).charactersIgnoringModifiers);
}

TEST(KeyPress, QtKeysForTheMenusKeys) {
  EXPECT_EQ(qtKeyFor(XKB_KEY_a), Qt::Key_A);
  EXPECT_EQ(qtKeyFor(XKB_KEY_z), Qt::Key_Z);
  EXPECT_EQ(qtKeyFor(XKB_KEY_Q), Qt::Key_Q);
  EXPECT_EQ(qtKeyFor(XKB_KEY_Escape), Qt::Key_Escape);
  EXPECT_EQ(qtKeyFor(XKB_KEY_KP_Enter), Qt::Key_Enter);
  EXPECT_EQ(qtKeyFor(XKB_KEY_Down), Qt::Key_Down);
  EXPECT_EQ(qtKeyFor(XKB_KEY_F1), 0);
  EXPECT_EQ(qtModifiersFor(KeyPress{XKB_KEY_b, true, false, false, false}), Qt::MetaModifier);
}

}  // namespace
}  // namespace platform::wayland
