#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/qt/window_levels.h"

namespace platform::x11 {

// One property value as the server returned it. Other clients set these, so any type, format
// or length can arrive.
struct RawProperty {
  xcb_atom_t type = XCB_NONE;
  std::uint8_t format = 0;
  std::uint32_t length = 0;  // in units of `format` bits
  const void* data = nullptr;
  // False when the server held more than was asked for: a single value that is really a list.
  bool complete = true;
};

// The reply's value, or an absent property when the reply is missing or inconsistent.
RawProperty rawProperty(const xcb_get_property_reply_t* reply);

// A list of atoms (type ATOM, format 32), or nothing when the value is not one.
std::optional<std::vector<xcb_atom_t>> readAtomList(const RawProperty& property);
// A list of windows (type WINDOW, format 32), such as _NET_CLIENT_LIST, or nothing.
std::optional<std::vector<xcb_window_t>> readWindowList(const RawProperty& property);
// The bytes of a format-8 value of any type, such as _NET_WM_NAME; empty for anything else.
std::string_view readText(const RawProperty& property);
// A single CARDINAL of format 32, or nothing.
std::optional<std::uint32_t> readCardinal(const RawProperty& property);
// A single WINDOW of format 32, or nothing.
std::optional<xcb_window_t> readWindow(const RawProperty& property);
// The first of a list of one or more WINDOWs of format 32, or nothing. Some window managers
// write _NET_ACTIVE_WINDOW as a pair (`<client>, 0`); EWMH readers take the first value.
std::optional<xcb_window_t> readFirstWindow(const RawProperty& property);
// A process id from _NET_WM_PID: a positive CARDINAL that fits a signed 32-bit id.
std::optional<std::int32_t> readProcessId(const RawProperty& property);
// _NET_WM_WINDOW_OPACITY as a fraction of 0xFFFFFFFF.
std::optional<double> readOpacity(const RawProperty& property);

// The atoms that decide a window's layer.
struct LayerAtoms {
  xcb_atom_t typeDesktop = XCB_NONE;
  xcb_atom_t typeDock = XCB_NONE;
  xcb_atom_t typeNotification = XCB_NONE;
  xcb_atom_t stateFullscreen = XCB_NONE;
  xcb_atom_t stateAbove = XCB_NONE;
  xcb_atom_t stateBelow = XCB_NONE;
};

// What the window list needs of one client window.
struct ClientProperties {
  std::vector<xcb_atom_t> types;
  std::vector<xcb_atom_t> states;
  std::optional<std::int32_t> pid;
  std::optional<double> opacity;
  std::optional<std::uint32_t> desktop;
};

using qt::kBelowLayer;
using qt::kDesktopLayer;
using qt::kDockLayer;
using qt::kFloatingLayer;
using qt::kNormalLayer;
using qt::kPopUpMenuLayer;

// The window's stacking layer, after EWMH's layers; the first rule that applies wins.
// `overrideRedirect` is true for an unmanaged window (a menu, tooltip or pop-up).
std::int32_t layerForWindow(const ClientProperties& properties, bool overrideRedirect,
                            const LayerAtoms& atoms);

}  // namespace platform::x11
