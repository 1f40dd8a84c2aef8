#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/workspace.h"

namespace platform::qt {

// A resource file from the installed data directory (<prefix>/share/quillmere/) or beside
// the executable; empty when there is none. The application icon, app-icon.png, is the icon
// theme's 256-pixel picture (<prefix>/share/icons/hicolor/256x256/apps/quillmere.png).
std::optional<std::string> findBundledResource(std::string_view name, std::string_view type);

// The help page on what Quillmere needs: the installed README's section with the given anchor,
// by default the one on sessions and permissions.
URL permissionHelpURL(std::string_view anchor = "sessions-and-permissions");

// Opens the URL with xdg-open, without waiting; false when nothing could be started.
bool openURLExternally(const URL& url);

}  // namespace platform::qt
