#pragma once

#include <xcb/xcb.h>

#include <string>
#include <string_view>
#include <vector>

namespace platform::x11 {

// Whether an X server is XWayland, which sees only the windows of other X11 clients: the
// `XWAYLAND` extension says so where the server offers it (since 23.1), and every release
// names its RandR outputs `XWAYLAND<n>`.
bool namesXwaylandOutput(std::string_view outputName);
bool looksLikeXwayland(bool extensionPresent, const std::vector<std::string>& outputNames);

// Asks the server for both signs; a server that answers neither is not XWayland.
bool serverIsXwayland(xcb_connection_t* connection, xcb_window_t root);

}  // namespace platform::x11
