#include "platform/x11/input/keyboard_mapping.h"

#include <array>
#include <memory>

namespace platform::x11 {

namespace {

// The core modifier bits of the X protocol.
constexpr std::uint32_t kXShiftMask = 1u << 0;
constexpr std::uint32_t kXLockMask = 1u << 1;
constexpr std::uint32_t kXControlMask = 1u << 2;
constexpr std::uint32_t kXMod1Mask = 1u << 3;
constexpr std::uint32_t kXMod4Mask = 1u << 6;

struct ModifierBit {
  std::uint32_t x;
  EventModifierFlags flag;
};

constexpr std::array<ModifierBit, 5> kModifierBits{{
    {kXShiftMask, kEventModifierFlagShift},
    {kXLockMask, kEventModifierFlagCapsLock},
    {kXControlMask, kEventModifierFlagControl},
    {kXMod1Mask, kEventModifierFlagOption},
    {kXMod4Mask, kEventModifierFlagCommand},
}};

}  // namespace

EventModifierFlags modifierFlagsFromX(std::uint32_t xModifierMask) {
  EventModifierFlags flags = 0;
  for (const ModifierBit& bit : kModifierBits) {
    if ((xModifierMask & bit.x) != 0) flags |= bit.flag;
  }
  return flags;
}

xkb_layout_index_t layoutFromX(std::uint32_t xModifierState) {
  return (xModifierState >> 13) & 0x3;
}

// A fresh state holding only Shift and the layout, so that Control, Caps Lock and the
// others neither change the level nor transform the text.
std::optional<std::string> textIgnoringModifiers(xkb_keymap* keymap, xkb_keycode_t keycode,
                                                 bool shift, xkb_layout_index_t layout) {
  if (keymap == nullptr) return std::nullopt;
  if (keycode < xkb_keymap_min_keycode(keymap) || keycode > xkb_keymap_max_keycode(keymap)) {
    return std::nullopt;
  }
  std::unique_ptr<xkb_state, StateDeleter> state(xkb_state_new(keymap));
  if (!state) return std::nullopt;

  xkb_mod_mask_t mods = 0;
  const xkb_mod_index_t shiftIndex = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
  if (shift && shiftIndex != XKB_MOD_INVALID) mods = xkb_mod_mask_t{1} << shiftIndex;
  xkb_state_update_mask(state.get(), mods, 0, 0, 0, 0, layout);

  std::array<char, 64> buffer{};
  const int length = xkb_state_key_get_utf8(state.get(), keycode, buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

Event keyDownEvent(xkb_keymap* keymap, xkb_keycode_t keycode, std::uint32_t xModifierMask,
                   xkb_layout_index_t layout) {
  Event event;
  event.type = EventType::keyDown;
  event.modifierFlags = modifierFlagsFromX(xModifierMask);
  event.charactersIgnoringModifiers =
      textIgnoringModifiers(keymap, keycode, (xModifierMask & kXShiftMask) != 0, layout);
  return event;
}

}  // namespace platform::x11
