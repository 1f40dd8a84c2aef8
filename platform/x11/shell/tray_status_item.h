#pragma once

#include <memory>

#include "platform/menu.h"

namespace platform::x11 {

// The status item on the Linux desktop: a tray icon, or a small panel window at the top-right
// of the primary screen while no tray host runs, which moves into the tray when one appears.
// A click opens Quillmere's own menu, built from the item's menu, at the pointer.
std::unique_ptr<StatusItemPeer> makeTrayStatusItemPeer(StatusItem& item);

}  // namespace platform::x11
