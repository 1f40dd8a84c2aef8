#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/event.h"
#include "platform/menu.h"

namespace platform::wayland {

class WaylandConnection;

// The status item on a wlroots compositor: a StatusNotifierItem for the tray host (waybar's
// tray, say), or the stand-in panel while no host runs; a click opens Quillmere's own menu
// next to it. Key-downs in the menu go to `localKeyDown` first; `focusedOutput` names the output
// with the compositor's focus, where a click on the tray icon opens the menu.
std::unique_ptr<StatusItemPeer> makeStatusItemPeer(StatusItem& item, WaylandConnection& connection,
                                                   std::function<bool(const Event&)> localKeyDown,
                                                   std::function<std::string()> focusedOutput);

}  // namespace platform::wayland
