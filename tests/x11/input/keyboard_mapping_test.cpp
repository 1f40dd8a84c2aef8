#include "platform/x11/input/keyboard_mapping.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform::x11 {
namespace {

constexpr std::uint32_t kShift = 0x01, kLock = 0x02, kControl = 0x04, kMod1 = 0x08, kMod4 = 0x40;

// evdev keycodes of a PC keyboard.
constexpr xkb_keycode_t kKeyB = 56, kKeySuperL = 133;

TEST(CoreState, MapsEachModifierToItsOwnFlagAndTheGroupBitsToTheLayout) {
  const struct {
    std::uint32_t mask;
    EventModifierFlags flags;
  } cases[] = {
      // Shift, Lock, Control and Mod4 with the keys below, Super+B in test_stacking.py.
      {kMod1, kEventModifierFlagOption},
      {0x10 | 0x20 | 0x80, 0},  // Mod2, Mod3 and Mod5
      // Pointer buttons and the layout group share the state word.
      {0x100 | 0x400 | 0x2000 | 0x4000, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(modifierFlagsFromX(c.mask), c.flags) << "mask 0x" << std::hex << c.mask;
  }

  // The layout is the state's group bits.
  EXPECT_EQ(layoutFromX(0), 0u);
  EXPECT_EQ(layoutFromX(0x2000 | kMod4), 1u);
  EXPECT_EQ(layoutFromX(0x4000), 2u);
  EXPECT_EQ(layoutFromX(0x6000 | 0xff), 3u);
}

TEST(KeyDownEvent, TextHasOnlyShiftAndTheLayoutApplied) {
  const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
      xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
  ASSERT_TRUE(context);
  const xkb_rule_names names{"evdev", "pc105", "us,ru", nullptr, nullptr};
  const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
      xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS),
      xkb_keymap_unref);
  ASSERT_TRUE(keymap) << "the xkb-data package provides the layouts";
  const struct {
    xkb_keycode_t keycode;
    std::uint32_t mask;
    xkb_layout_index_t layout;
    std::optional<std::string> text;
    EventModifierFlags flags;
  } cases[] = {
      {kKeyB, kShift, 0, "B", kEventModifierFlagShift},
      {kKeyB, kMod4 | kShift, 0, "B", kEventModifierFlagCommand | kEventModifierFlagShift},
      // Caps Lock shows in the flags but not in the text; Control makes no control character.
      {kKeyB, kLock, 0, "b", kEventModifierFlagCapsLock},
      {kKeyB, kControl, 0, "b", kEventModifierFlagControl},
      // The second layout is Cyrillic: the same key gives another letter.
      {kKeyB, 0, 1, "\xd0\xb8", 0},
      {kKeyB, kShift | kMod4, 1, "\xd0\x98", kEventModifierFlagShift | kEventModifierFlagCommand},
      // Keys without text, and keycodes the keymap does not have.
      {kKeySuperL, kMod4, 0, std::nullopt, kEventModifierFlagCommand},
      {0, 0, 0, std::nullopt, 0},
      {4000, 0, 0, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    const Event event = keyDownEvent(keymap.get(), c.keycode, c.mask, c.layout);
    SCOPED_TRACE(testing::Message() << "keycode " << c.keycode << " mask 0x" << std::hex << c.mask
                                    << " layout " << c.layout);
    EXPECT_EQ(event.type, EventType::keyDown);
    EXPECT_EQ(event.charactersIgnoringModifiers, c.text);
    EXPECT_EQ(event.modifierFlags, c.flags);
  }
  // Without a keymap the flags still come through.
  const Event bare = keyDownEvent(nullptr, kKeyB, kMod4, 0);
  EXPECT_EQ(bare.modifierFlags, kEventModifierFlagCommand);
  EXPECT_FALSE(bare.charactersIgnoringModifiers);
}

}  // namespace
}  // namespace platform::x11
