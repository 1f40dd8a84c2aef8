#include "platform/x11/paint/paint_connection.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/shape.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include <cstring>
#include <string>

#include "platform/x11/xcb_reply.h"

namespace platform::x11 {

namespace {

template <typename T>
using Reply = XcbReply<T>;

xcb_screen_t* screenOfNumber(xcb_connection_t* connection, int number) {
  auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; it.rem > 0; ++i, xcb_screen_next(&it)) {
    if (i == number) return it.data;
  }
  return nullptr;
}

bool isDirectRgb(const xcb_render_pictforminfo_t& info, std::uint8_t depth) {
  const auto& d = info.direct;
  return info.type == XCB_RENDER_PICT_TYPE_DIRECT && info.depth == depth && d.red_mask == 0xff &&
         d.green_mask == 0xff && d.blue_mask == 0xff && d.red_shift == 16 && d.green_shift == 8 &&
         d.blue_shift == 0;
}

}  // namespace

PaintConnection::PaintConnection(const QByteArray& displayName) {
  connection_ =
      xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber_);
  if (xcb_connection_has_error(connection_)) return;
  xcb_screen_t* screen = screenOfNumber(connection_, screenNumber_);
  if (screen == nullptr) return;
  root_ = screen->root;
  rootVisual_ = screen->root_visual;
  initExtensions();
  if (!usable_) return;
  initAtoms();
  initPictureFormats();
  // The renderer takes pixels as B, G, R, A bytes, which is what a little-endian server sends.
  const bool bgraBytes = xcb_get_setup(connection_)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  usable_ = !broken() && argb32_.id != XCB_NONE && bgraBytes;
}

PaintConnection::~PaintConnection() {
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

// Every extension must be asked for its version before its first request.
void PaintConnection::initExtensions() {
  xcb_connection_t* c = connection_;
  for (xcb_extension_t* ext : {&xcb_composite_id, &xcb_damage_id, &xcb_xfixes_id, &xcb_render_id,
                               &xcb_shape_id, &xcb_shm_id}) {
    xcb_prefetch_extension_data(c, ext);
  }
  const auto present = [c](xcb_extension_t* ext) {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(c, ext);
    return data != nullptr && data->present;
  };
  if (!present(&xcb_composite_id) || !present(&xcb_damage_id) || !present(&xcb_xfixes_id) ||
      !present(&xcb_render_id) || !present(&xcb_shape_id)) {
    return;
  }
  damageEventBase_ = xcb_get_extension_data(c, &xcb_damage_id)->first_event;
  xfixesEventBase_ = xcb_get_extension_data(c, &xcb_xfixes_id)->first_event;
  const bool shmPresent = present(&xcb_shm_id);
  if (shmPresent) shmEventBase_ = xcb_get_extension_data(c, &xcb_shm_id)->first_event;

  auto compositeCookie = xcb_composite_query_version(c, 0, 4);
  auto damageCookie = xcb_damage_query_version(c, 1, 1);
  auto xfixesCookie = xcb_xfixes_query_version(c, 5, 0);
  auto renderCookie = xcb_render_query_version(c, 0, 11);
  xcb_shm_query_version_cookie_t shmCookie{};
  if (shmPresent) shmCookie = xcb_shm_query_version(c);

  Reply<xcb_composite_query_version_reply_t> composite(
      xcb_composite_query_version_reply(c, compositeCookie, nullptr));
  Reply<xcb_damage_query_version_reply_t> damage(
      xcb_damage_query_version_reply(c, damageCookie, nullptr));
  Reply<xcb_xfixes_query_version_reply_t> xfixes(
      xcb_xfixes_query_version_reply(c, xfixesCookie, nullptr));
  Reply<xcb_render_query_version_reply_t> render(
      xcb_render_query_version_reply(c, renderCookie, nullptr));
  if (shmPresent) {
    Reply<xcb_shm_query_version_reply_t> shm(xcb_shm_query_version_reply(c, shmCookie, nullptr));
    hasShm_ = shm != nullptr;
  }
  // NameWindowPixmap arrived with Composite 0.2.
  const bool compositeOk =
      composite && (composite->major_version > 0 || composite->minor_version >= 2);
  usable_ = compositeOk && damage && xfixes && xfixes->major_version >= 1 && render;
}

void PaintConnection::initAtoms() {
  const std::string selection = "_NET_WM_CM_S" + std::to_string(screenNumber_);
  const char* names[] = {selection.c_str(), "_XROOTPMAP_ID", "ESETROOT_PMAP_ID",
                         "_NET_WM_WINDOW_OPACITY"};
  xcb_intern_atom_cookie_t cookies[4];
  for (int i = 0; i < 4; ++i) {
    cookies[i] = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(names[i])),
                                 names[i]);
  }
  xcb_atom_t* targets[] = {&compositorSelection_, &rootPixmapAtom_, &setRootPixmapAtom_,
                           &opacityAtom_};
  for (int i = 0; i < 4; ++i) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookies[i], nullptr));
    if (reply) *targets[i] = reply->atom;
  }
}

void PaintConnection::initPictureFormats() {
  Reply<xcb_render_query_pict_formats_reply_t> reply(xcb_render_query_pict_formats_reply(
      connection_, xcb_render_query_pict_formats(connection_), nullptr));
  if (!reply) return;
  std::vector<std::pair<xcb_render_pictformat_t, PictureFormat>> formats;
  for (auto it = xcb_render_query_pict_formats_formats_iterator(reply.get()); it.rem > 0;
       xcb_render_pictforminfo_next(&it)) {
    const xcb_render_pictforminfo_t& info = *it.data;
    if (info.type != XCB_RENDER_PICT_TYPE_DIRECT) continue;
    const PictureFormat format{info.id, info.direct.alpha_mask != 0};
    formats.emplace_back(info.id, format);
    if (isDirectRgb(info, 32) && info.direct.alpha_mask == 0xff && info.direct.alpha_shift == 24) {
      argb32_ = format;
    } else if (isDirectRgb(info, 24) && info.direct.alpha_mask == 0) {
      rgb24_ = format;
    }
  }
  for (auto screens = xcb_render_query_pict_formats_screens_iterator(reply.get()); screens.rem > 0;
       xcb_render_pictscreen_next(&screens)) {
    for (auto depths = xcb_render_pictscreen_depths_iterator(screens.data); depths.rem > 0;
         xcb_render_pictdepth_next(&depths)) {
      for (auto visuals = xcb_render_pictdepth_visuals_iterator(depths.data); visuals.rem > 0;
           xcb_render_pictvisual_next(&visuals)) {
        for (const auto& [id, format] : formats) {
          if (id == visuals.data->format) {
            visualFormats_.push_back({visuals.data->visual, format});
          }
        }
      }
    }
  }
}

std::optional<PictureFormat> PaintConnection::formatForVisual(xcb_visualid_t visual) const {
  for (const VisualFormat& entry : visualFormats_) {
    if (entry.visual == visual) return entry.format;
  }
  return std::nullopt;
}

std::optional<PictureFormat> PaintConnection::formatForDepth(std::uint8_t depth) const {
  if (depth == 32 && argb32_.id != XCB_NONE) return argb32_;
  if (depth == 24 && rgb24_.id != XCB_NONE) return rgb24_;
  return std::nullopt;
}

bool PaintConnection::queryCompositorOwner() const {
  Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
      connection_, xcb_get_selection_owner(connection_, compositorSelection_), nullptr));
  return reply && reply->owner != XCB_NONE;
}

}  // namespace platform::x11
