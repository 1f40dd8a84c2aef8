// Window properties that any client may set, read as the window list reads them.
#include <cstring>

#include "platform/x11/paint/root_background.h"
#include "platform/x11/window_properties.h"
#include "tests/fuzz/fuzz_input.h"

using namespace platform::x11;

FUZZ_ENTRY {
  FuzzedDataProvider input(data, size);
  // The reply as xcb hands it over: consistent in itself, at most the longest value we ask for.
  xcb_get_property_reply_t header{};
  header.type = input.PickValueInArray<xcb_atom_t>(
      {XCB_ATOM_ATOM, XCB_ATOM_CARDINAL, XCB_ATOM_WINDOW, XCB_ATOM_PIXMAP, 0});
  header.format = input.PickValueInArray<std::uint8_t>({32, 16, 8, 0, 31});
  header.bytes_after = input.ConsumeBool() ? 0 : 4;
  const LayerAtoms atoms{1, 2, 3, 4, 5, input.ConsumeIntegralInRange<xcb_atom_t>(0, 6)};
  std::string value = input.ConsumeBytesAsString(4096);
  const std::size_t unit = header.format >= 8 ? header.format / 8 : 1;
  value.resize(value.size() / unit * unit);
  header.value_len = std::uint32_t(value.size() / unit);
  header.length = std::uint32_t((value.size() + 3) / 4);
  std::vector<char> reply(sizeof header + header.length * 4);
  std::memcpy(reply.data(), &header, sizeof header);
  std::memcpy(reply.data() + sizeof header, value.data(), value.size());

  const RawProperty raw = rawProperty(reinterpret_cast<xcb_get_property_reply_t*>(reply.data()));
  ClientProperties client;
  client.types = readAtomList(raw).value_or(std::vector<xcb_atom_t>{});
  client.states = client.types;
  client.pid = readProcessId(raw);
  client.opacity = readOpacity(raw);
  client.desktop = readCardinal(raw);
  readWindow(raw);
  readFirstWindow(raw);
  readWindowList(raw);
  readText(raw);
  layerForWindow(client, header.bytes_after != 0, atoms);
  pixmapFromProperty(reinterpret_cast<xcb_get_property_reply_t*>(reply.data()));
  return 0;
}
