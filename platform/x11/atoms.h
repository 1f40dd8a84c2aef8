#pragma once

#include <xcb/xcb.h>

#include "platform/x11/window_properties.h"

namespace platform::x11 {

// The atoms the backend reads and writes, interned once per connection.
struct Atoms {
  xcb_atom_t netActiveWindow = XCB_NONE;
  xcb_atom_t netClientList = XCB_NONE;
  xcb_atom_t netCurrentDesktop = XCB_NONE;
  xcb_atom_t netSupportingWmCheck = XCB_NONE;
  xcb_atom_t netWmPid = XCB_NONE;
  xcb_atom_t netWmDesktop = XCB_NONE;
  xcb_atom_t netWmState = XCB_NONE;
  xcb_atom_t netWmStateHidden = XCB_NONE;
  xcb_atom_t netWmStateSticky = XCB_NONE;
  xcb_atom_t netWmStateSkipTaskbar = XCB_NONE;
  xcb_atom_t netWmStateSkipPager = XCB_NONE;
  xcb_atom_t netWmWindowType = XCB_NONE;
  xcb_atom_t netWmWindowOpacity = XCB_NONE;
  xcb_atom_t netWmName = XCB_NONE;
  xcb_atom_t utf8String = XCB_NONE;
  xcb_atom_t compositingShadow = XCB_NONE;
  xcb_atom_t netWmUserTime = XCB_NONE;
  xcb_atom_t motifWmHints = XCB_NONE;
  xcb_atom_t netRestackWindow = XCB_NONE;
  LayerAtoms layer;

  // Interns all of them with one round trip; atoms the server refuses stay XCB_NONE.
  static Atoms intern(xcb_connection_t* connection);
};

}  // namespace platform::x11
