#pragma once

#include <xcb/render.h>
#include <xcb/xcb.h>

#include <QRect>
#include <optional>

#include "platform/x11/paint/paint_connection.h"

namespace platform::x11 {

// The pixmap a root-pixmap property names. Any other type, format or length, or a zero id,
// names none: other clients set these properties and may set anything.
std::optional<xcb_pixmap_t> pixmapFromProperty(const xcb_get_property_reply_t* reply);

// The desktop wallpaper as a wallpaper setter leaves it on the root window, for drawing
// beneath everything else.
class RootBackground final {
 public:
  explicit RootBackground(const PaintConnection& connection) : connection_(connection) {}
  ~RootBackground();
  RootBackground(const RootBackground&) = delete;
  RootBackground& operator=(const RootBackground&) = delete;

  // Reads _XROOTPMAP_ID, else ESETROOT_PMAP_ID, again (round trips).
  void refresh();
  bool isBackgroundProperty(xcb_atom_t atom) const;

  // Fills `target` from (0, 0) with the wallpaper under `area` (root pixels); black when
  // there is none.
  void draw(xcb_render_picture_t target, QRect area) const;

 private:
  std::optional<xcb_pixmap_t> readProperty(xcb_atom_t atom) const;
  xcb_render_picture_t pictureOf(xcb_pixmap_t pixmap) const;
  void releasePicture();

  const PaintConnection& connection_;
  xcb_render_picture_t picture_ = XCB_NONE;
};

}  // namespace platform::x11
