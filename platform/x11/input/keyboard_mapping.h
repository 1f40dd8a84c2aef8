#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/event.h"

namespace platform::x11 {

// Modifier state as X reports it (the core modifier mask of a key event or of XKB state).
// Super (Mod4) is Command; Shift, Control, Alt (Mod1) as Option, and Caps Lock map to their
// own bits. Nothing else is set.
EventModifierFlags modifierFlagsFromX(std::uint32_t xModifierMask);

}  // namespace platform::x11
