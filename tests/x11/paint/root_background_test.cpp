#include "platform/x11/paint/root_background.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using platform::x11::pixmapFromProperty;

// A property reply as it arrives from the server: the fixed part, then the value.
std::vector<std::uint8_t> reply(xcb_atom_t type, std::uint8_t format, std::uint32_t items,
                                std::vector<std::uint8_t> value) {
  std::vector<std::uint8_t> bytes(sizeof(xcb_get_property_reply_t) + value.size());
  xcb_get_property_reply_t header{};
  header.response_type = XCB_GET_PROPERTY;
  header.format = format;
  header.type = type;
  header.value_len = items;
  header.length = static_cast<std::uint32_t>((value.size() + 3) / 4);
  std::memcpy(bytes.data(), &header, sizeof header);
  if (!value.empty()) std::memcpy(bytes.data() + sizeof header, value.data(), value.size());
  return bytes;
}

TEST(PixmapFromProperty, AcceptsOnlyOneNonZeroPixmapId) {
  const std::vector<std::uint8_t> id{0x34, 0x12, 0x60, 0x00};  // 0x00601234
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::optional<xcb_pixmap_t> expected;
  };
  // One pixmap, and a text in its place: through the painter in overlay_paint_engine_test.cpp.
  const Case cases[] = {
      {"a pixmap and more", reply(XCB_ATOM_PIXMAP, 32, 2, {0x34, 0x12, 0x60, 0, 1, 0, 0, 0}),
       0x00601234},
      {"the wrong format", reply(XCB_ATOM_PIXMAP, 8, 4, id), std::nullopt},
      {"no items", reply(XCB_ATOM_PIXMAP, 32, 0, {}), std::nullopt},
      {"a count beyond the data", reply(XCB_ATOM_PIXMAP, 32, 1, {}), std::nullopt},
      {"a zero id", reply(XCB_ATOM_PIXMAP, 32, 1, {0, 0, 0, 0}), std::nullopt},
      {"nothing at all", reply(XCB_NONE, 0, 0, {}), std::nullopt},
  };
  for (const Case& c : cases) {
    const auto* r = reinterpret_cast<const xcb_get_property_reply_t*>(c.bytes.data());
    EXPECT_EQ(pixmapFromProperty(r), c.expected) << c.what;
  }
  EXPECT_EQ(pixmapFromProperty(nullptr), std::nullopt);
}

}  // namespace
