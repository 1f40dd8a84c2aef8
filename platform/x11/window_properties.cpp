#include "platform/x11/window_properties.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace platform::x11 {

namespace {

bool isList32(const RawProperty& property, xcb_atom_t type) {
  return property.type == type && property.format == 32 && property.data != nullptr;
}

std::optional<std::uint32_t> readSingle32(const RawProperty& property, xcb_atom_t type) {
  if (!isList32(property, type) || property.length != 1 || !property.complete) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  std::memcpy(&value, property.data, sizeof value);
  return value;
}

std::optional<std::vector<std::uint32_t>> readList32(const RawProperty& property, xcb_atom_t type) {
  if (!isList32(property, type)) return std::nullopt;
  std::vector<std::uint32_t> values(property.length);
  // An empty list (a window without states) has no storage to copy into.
  if (!values.empty()) std::memcpy(values.data(), property.data, values.size() * 4);
  return values;
}

// The first type in the list that this table knows; EWMH lists them by preference.
xcb_atom_t preferredType(const std::vector<xcb_atom_t>& types, const LayerAtoms& atoms) {
  for (xcb_atom_t type : types) {
    if (type == atoms.typeDesktop || type == atoms.typeDock || type == atoms.typeNotification) {
      return type;
    }
  }
  return XCB_NONE;
}

bool contains(const std::vector<xcb_atom_t>& atoms, xcb_atom_t atom) {
  return atom != XCB_NONE && std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

}  // namespace

RawProperty rawProperty(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr) return {};
  const int format = reply->format;
  if (format != 8 && format != 16 && format != 32) return {};
  const auto bytes = static_cast<std::uint64_t>(
      xcb_get_property_value_length(const_cast<xcb_get_property_reply_t*>(reply)));
  if (bytes != std::uint64_t{reply->value_len} * static_cast<std::uint64_t>(format / 8)) {
    return {};
  }
  return RawProperty{reply->type, reply->format, reply->value_len,
                     xcb_get_property_value(const_cast<xcb_get_property_reply_t*>(reply)),
                     reply->bytes_after == 0};
}

std::optional<std::vector<xcb_atom_t>> readAtomList(const RawProperty& property) {
  return readList32(property, XCB_ATOM_ATOM);
}

std::optional<std::vector<xcb_window_t>> readWindowList(const RawProperty& property) {
  return readList32(property, XCB_ATOM_WINDOW);
}

std::string_view readText(const RawProperty& property) {
  if (property.format != 8 || property.data == nullptr) return {};
  return {static_cast<const char*>(property.data), property.length};
}

std::optional<std::uint32_t> readCardinal(const RawProperty& property) {
  return readSingle32(property, XCB_ATOM_CARDINAL);
}

std::optional<xcb_window_t> readWindow(const RawProperty& property) {
  return readSingle32(property, XCB_ATOM_WINDOW);
}

std::optional<xcb_window_t> readFirstWindow(const RawProperty& property) {
  if (!isList32(property, XCB_ATOM_WINDOW) || property.length == 0) return std::nullopt;
  xcb_window_t window = XCB_NONE;
  std::memcpy(&window, property.data, sizeof window);
  return window;
}

std::optional<std::int32_t> readProcessId(const RawProperty& property) {
  auto value = readCardinal(property);
  if (!value || *value == 0 || *value > std::uint32_t{std::numeric_limits<std::int32_t>::max()}) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(*value);
}

std::optional<double> readOpacity(const RawProperty& property) {
  auto value = readCardinal(property);
  if (!value) return std::nullopt;
  return static_cast<double>(*value) / static_cast<double>(0xFFFFFFFFu);
}

std::int32_t layerForWindow(const ClientProperties& properties, bool overrideRedirect,
                            const LayerAtoms& atoms) {
  const xcb_atom_t type = preferredType(properties.types, atoms);
  if (type != XCB_NONE && type == atoms.typeDesktop) return kDesktopLayer;
  if (type != XCB_NONE && type == atoms.typeDock) return kDockLayer;
  if ((type != XCB_NONE && type == atoms.typeNotification) || overrideRedirect) {
    return kPopUpMenuLayer;
  }
  if (contains(properties.states, atoms.stateFullscreen)) return kNormalLayer;
  if (contains(properties.states, atoms.stateAbove)) return kFloatingLayer;
  if (contains(properties.states, atoms.stateBelow)) return kBelowLayer;
  return kNormalLayer;
}

}  // namespace platform::x11
