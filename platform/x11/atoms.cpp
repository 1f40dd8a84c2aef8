#include "platform/x11/atoms.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace platform::x11 {

Atoms Atoms::intern(xcb_connection_t* connection) {
  Atoms atoms;
  const std::array<std::pair<const char*, xcb_atom_t*>, 25> names = {{
      {"_NET_ACTIVE_WINDOW", &atoms.netActiveWindow},
      {"_NET_CLIENT_LIST", &atoms.netClientList},
      {"_NET_CURRENT_DESKTOP", &atoms.netCurrentDesktop},
      {"_NET_SUPPORTING_WM_CHECK", &atoms.netSupportingWmCheck},
      {"_NET_WM_PID", &atoms.netWmPid},
      {"_NET_WM_DESKTOP", &atoms.netWmDesktop},
      {"_NET_WM_STATE", &atoms.netWmState},
      {"_NET_WM_STATE_HIDDEN", &atoms.netWmStateHidden},
      {"_NET_WM_STATE_STICKY", &atoms.netWmStateSticky},
      {"_NET_WM_STATE_SKIP_TASKBAR", &atoms.netWmStateSkipTaskbar},
      {"_NET_WM_STATE_SKIP_PAGER", &atoms.netWmStateSkipPager},
      {"_NET_WM_WINDOW_TYPE", &atoms.netWmWindowType},
      {"_NET_WM_WINDOW_OPACITY", &atoms.netWmWindowOpacity},
      {"_NET_WM_NAME", &atoms.netWmName},
      {"UTF8_STRING", &atoms.utf8String},
      {"_COMPTON_SHADOW", &atoms.compositingShadow},
      {"_NET_WM_USER_TIME", &atoms.netWmUserTime},
      {"_MOTIF_WM_HINTS", &atoms.motifWmHints},
      {"_NET_RESTACK_WINDOW", &atoms.netRestackWindow},
      {"_NET_WM_WINDOW_TYPE_DESKTOP", &atoms.layer.typeDesktop},
      {"_NET_WM_WINDOW_TYPE_DOCK", &atoms.layer.typeDock},
      {"_NET_WM_WINDOW_TYPE_NOTIFICATION", &atoms.layer.typeNotification},
      {"_NET_WM_STATE_FULLSCREEN", &atoms.layer.stateFullscreen},
      {"_NET_WM_STATE_ABOVE", &atoms.layer.stateAbove},
      {"_NET_WM_STATE_BELOW", &atoms.layer.stateBelow},
  }};
  std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
  for (std::size_t i = 0; i < names.size(); ++i) {
    const char* name = names[i].first;
    cookies[i] =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (auto* reply = xcb_intern_atom_reply(connection, cookies[i], nullptr)) {
      *names[i].second = reply->atom;
      std::free(reply);
    }
  }
  return atoms;
}

}  // namespace platform::x11
