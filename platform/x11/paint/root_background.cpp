#include "platform/x11/paint/root_background.h"

#include <cstring>

#include "platform/x11/xcb_reply.h"

namespace platform::x11 {

std::optional<xcb_pixmap_t> pixmapFromProperty(const xcb_get_property_reply_t* reply) {
  // The value must be there in the reply's own length too, not only in its item count.
  if (reply == nullptr || reply->type != XCB_ATOM_PIXMAP || reply->format != 32 ||
      reply->value_len < 1 || reply->length < 1) {
    return std::nullopt;
  }
  xcb_pixmap_t pixmap = XCB_NONE;
  std::memcpy(&pixmap, xcb_get_property_value(reply), sizeof pixmap);
  if (pixmap == XCB_NONE) return std::nullopt;
  return pixmap;
}

RootBackground::~RootBackground() {
  releasePicture();
}

bool RootBackground::isBackgroundProperty(xcb_atom_t atom) const {
  return atom != XCB_NONE &&
         (atom == connection_.rootPixmapAtom() || atom == connection_.setRootPixmapAtom());
}

std::optional<xcb_pixmap_t> RootBackground::readProperty(xcb_atom_t atom) const {
  xcb_connection_t* c = connection_.get();
  XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      c, xcb_get_property(c, 0, connection_.root(), atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
      nullptr));
  return pixmapFromProperty(reply.get());
}

// A setter may leave a stale id behind in one property and a good one in the other.
void RootBackground::refresh() {
  releasePicture();
  for (xcb_atom_t atom : {connection_.rootPixmapAtom(), connection_.setRootPixmapAtom()}) {
    if (const std::optional<xcb_pixmap_t> pixmap = readProperty(atom)) {
      picture_ = pictureOf(*pixmap);
      if (picture_ != XCB_NONE) return;
    }
  }
}

// The id may be stale or name something that is not a pixmap at all.
xcb_render_picture_t RootBackground::pictureOf(xcb_pixmap_t pixmap) const {
  xcb_connection_t* c = connection_.get();
  XcbReply<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap), nullptr));
  if (!geometry) return XCB_NONE;
  const std::optional<PictureFormat> format = connection_.formatForDepth(geometry->depth);
  if (!format) return XCB_NONE;
  const xcb_render_picture_t picture = xcb_generate_id(c);
  const std::uint32_t repeat = XCB_RENDER_REPEAT_NORMAL;
  XcbReply<xcb_generic_error_t> error(
      xcb_request_check(c, xcb_render_create_picture_checked(c, picture, pixmap, format->id,
                                                             XCB_RENDER_CP_REPEAT, &repeat)));
  return error ? XCB_NONE : picture;
}

void RootBackground::releasePicture() {
  if (picture_ != XCB_NONE && !connection_.broken()) {
    xcb_render_free_picture(connection_.get(), picture_);
  }
  picture_ = XCB_NONE;
}

void RootBackground::draw(xcb_render_picture_t target, QRect area) const {
  const auto width = static_cast<std::uint16_t>(area.width());
  const auto height = static_cast<std::uint16_t>(area.height());
  if (picture_ == XCB_NONE) {
    const xcb_render_color_t black{0, 0, 0, 0xffff};
    const xcb_rectangle_t all{0, 0, width, height};
    xcb_render_fill_rectangles(connection_.get(), XCB_RENDER_PICT_OP_SRC, target, black, 1, &all);
    return;
  }
  xcb_render_composite(connection_.get(), XCB_RENDER_PICT_OP_SRC, picture_, XCB_NONE, target,
                       static_cast<std::int16_t>(area.x()), static_cast<std::int16_t>(area.y()), 0,
                       0, 0, 0, width, height);
}

}  // namespace platform::x11
