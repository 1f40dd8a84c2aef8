#pragma once

#include <Qt>
#include <cstdint>

#include "platform/event.h"

namespace platform::wayland {

// One key press on our own surfaces: the key's symbol under the current layout and the
// modifiers held. Super is the Command key.
struct KeyPress {
  std::uint32_t symbol = 0;  // an xkb keysym
  bool super = false;
  bool shift = false;
  bool control = false;
  bool alt = false;
};

// The Qt key for the symbol (letters, Escape, Return, arrows and the like), or 0.
int qtKeyFor(std::uint32_t symbol);
Qt::KeyboardModifiers qtModifiersFor(const KeyPress& key);
// The key-down event that the local monitors see, mapped as on X11: a letter's characters are
// the letter itself, upper case only with Shift.
Event keyDownEventFor(const KeyPress& key);

}  // namespace platform::wayland
