#pragma once

#include "platform/event.h"

namespace quillmere {

// Whether a key-down is Command-B: the Command bit is set, whatever else is held, and the
// key's text, lower-cased, is exactly "b".
bool isCommandB(const platform::Event& event);

}  // namespace quillmere
