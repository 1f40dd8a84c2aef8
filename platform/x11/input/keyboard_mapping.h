#pragma once

#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/event.h"

namespace platform::x11 {

// Owners of xkbcommon objects, for std::unique_ptr.
struct ContextDeleter {
  void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapDeleter {
  void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateDeleter {
  void operator()(xkb_state* state) const { xkb_state_unref(state); }
};

// Modifier state as X reports it (the core modifier mask of a key event or of XKB state).
// Super (Mod4) is Command; Shift, Control, Alt (Mod1) as Option, and Caps Lock map to their
// own bits. Nothing else is set.
EventModifierFlags modifierFlagsFromX(std::uint32_t xModifierMask);

// The layout group that X folds into bits 13 and 14 of a core event's state.
xkb_layout_index_t layoutFromX(std::uint32_t xModifierState);

// The UTF-8 text of the key with no modifier but Shift applied, in the given layout; nothing
// when the key produces no text there (a modifier, a function key, an unbound keycode).
std::optional<std::string> textIgnoringModifiers(xkb_keymap* keymap, xkb_keycode_t keycode,
                                                 bool shift, xkb_layout_index_t layout);

// The key-down event for a key pressed while the given core modifiers and layout are in effect.
Event keyDownEvent(xkb_keymap* keymap, xkb_keycode_t keycode, std::uint32_t xModifierMask,
                   xkb_layout_index_t layout);

}  // namespace platform::x11
