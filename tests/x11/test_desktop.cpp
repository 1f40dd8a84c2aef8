#include "test_desktop.h"

#include <xcb/shape.h>

#include <cstring>

#include "platform/x11/xcb_reply.h"
#include "tests/qt/qt_event_loop.h"

namespace quillmere::test {

template <typename T>
using Reply = platform::x11::XcbReply<T>;

TestDesktop::TestDesktop(const std::string& displayName) {
  int screenNumber = 0;
  connection_ = xcb_connect(displayName.c_str(), &screenNumber);
  if (xcb_connection_has_error(connection_)) return;
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  root_ = screen->root;
  for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0;
       xcb_depth_next(&depths)) {
    if (depths.data->depth != 32) continue;
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
         xcb_visualtype_next(&visuals)) {
      if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
        argbVisual_ = visuals.data->visual_id;
        break;
      }
    }
  }
}

TestDesktop::~TestDesktop() {
  xcb_disconnect(connection_);
}

bool TestDesktop::connected() const {
  return root_ != XCB_NONE && !xcb_connection_has_error(connection_);
}

// A window on the root at the rectangle, not yet mapped.
xcb_window_t TestDesktop::create(QRect rect, std::uint8_t depth, xcb_visualid_t visual,
                                 std::uint32_t mask, const std::uint32_t* values) {
  const xcb_window_t window = xcb_generate_id(connection_);
  xcb_create_window(connection_, depth, window, root_, static_cast<std::int16_t>(rect.x()),
                    static_cast<std::int16_t>(rect.y()), static_cast<std::uint16_t>(rect.width()),
                    static_cast<std::uint16_t>(rect.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    visual, mask, values);
  return window;
}

xcb_window_t TestDesktop::createOverlay(QRect rect) {
  xcb_connection_t* c = connection_;
  const xcb_colormap_t colormap = xcb_generate_id(c);
  xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap, root_, argbVisual_);
  const std::uint32_t values[] = {0, 0, 1, colormap};
  const xcb_window_t window = create(
      rect, 32, argbVisual_,
      XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_COLORMAP, values);
  xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, window,
                       0, 0, 0, nullptr);
  xcb_map_window(c, window);
  Reply<xcb_get_input_focus_reply_t> sync(
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  return window;
}

xcb_window_t TestDesktop::createWindow(QRect rect, std::uint32_t rgb, bool managed, bool mapped) {
  const std::uint32_t values[] = {rgb, managed ? 0u : 1u};
  const xcb_window_t window = create(rect, XCB_COPY_FROM_PARENT, XCB_COPY_FROM_PARENT,
                                     XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  if (mapped) map(window);
  return window;
}

bool TestDesktop::framed(xcb_window_t window) {
  Reply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
  return tree && tree->parent != root_;
}

void TestDesktop::setColor(xcb_window_t window, std::uint32_t rgb) {
  xcb_change_window_attributes(connection_, window, XCB_CW_BACK_PIXEL, &rgb);
  xcb_clear_area(connection_, 0, window, 0, 0, 0, 0);
  xcb_flush(connection_);
}

void TestDesktop::fill(xcb_window_t window, QRect rect, std::uint32_t rgb) {
  const xcb_gcontext_t gc = xcb_generate_id(connection_);
  xcb_create_gc(connection_, gc, window, XCB_GC_FOREGROUND, &rgb);
  const xcb_rectangle_t r{std::int16_t(rect.x()), std::int16_t(rect.y()),
                          std::uint16_t(rect.width()), std::uint16_t(rect.height())};
  xcb_poly_fill_rectangle(connection_, window, gc, 1, &r);
  xcb_free_gc(connection_, gc);
  Reply<xcb_get_input_focus_reply_t> sync(
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

void TestDesktop::lower(xcb_window_t window) {
  const std::uint32_t below = XCB_STACK_MODE_BELOW;
  xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_STACK_MODE, &below);
  xcb_flush(connection_);
}

void TestDesktop::destroy(xcb_window_t window) {
  xcb_destroy_window(connection_, window);
  xcb_flush(connection_);
}

void TestDesktop::setProperty(xcb_window_t window, const std::string& name, xcb_atom_t type,
                              std::uint8_t format, const std::vector<std::uint32_t>& values) {
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom(name), type, format,
                      static_cast<std::uint32_t>(values.size() * 32 / format), values.data());
  xcb_flush(connection_);
}

void TestDesktop::setAtoms(xcb_window_t window, const std::string& name,
                           const std::vector<std::string>& atoms) {
  std::vector<std::uint32_t> values;
  for (const std::string& each : atoms) values.push_back(atom(each));
  setProperty(window, name, XCB_ATOM_ATOM, 32, values);
}

void TestDesktop::map(xcb_window_t window) {
  xcb_map_window(connection_, window);
  xcb_flush(connection_);
}

std::vector<QRect> TestDesktop::unmanaged() {
  std::vector<QRect> found;
  Reply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
  if (!tree) return found;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
    Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, children[i]), nullptr));
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, children[i]), nullptr));
    if (attributes && geometry && attributes->override_redirect &&
        attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
      found.emplace_back(geometry->x, geometry->y, geometry->width, geometry->height);
    }
  }
  return found;
}

std::vector<std::uint32_t> TestDesktop::screen(QRect rect) {
  std::vector<std::uint32_t> pixels;
  Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(
      connection_,
      xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_,
                    static_cast<std::int16_t>(rect.x()), static_cast<std::int16_t>(rect.y()),
                    static_cast<std::uint16_t>(rect.width()),
                    static_cast<std::uint16_t>(rect.height()), ~0u),
      nullptr));
  if (!image) return pixels;
  const auto count = static_cast<std::size_t>(rect.width()) * rect.height();
  if (static_cast<std::size_t>(xcb_get_image_data_length(image.get())) < count * 4) return pixels;
  pixels.resize(count);
  std::memcpy(pixels.data(), xcb_get_image_data(image.get()), count * 4);
  for (std::uint32_t& p : pixels) p &= 0xffffff;
  return pixels;
}

std::uint32_t TestDesktop::pixel(int x, int y) {
  const std::vector<std::uint32_t> one = screen(QRect(x, y, 1, 1));
  return one.empty() ? 0xdeadbeef : one.front();
}

xcb_atom_t TestDesktop::atom(const std::string& name) {
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection_,
      xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
      nullptr));
  return reply ? reply->atom : XCB_NONE;
}

// Openbox names itself on the root before its event loop runs, and a window mapped in between
// can stay unmanaged for good: it is ready once it has framed a probe window, a new one each
// second.
bool startWindowManager(PrivateDisplay& display) {
  display.start(kWindowManager);
  TestDesktop desktop(display.name());
  const auto framesAProbe = [&] {
    const xcb_window_t probe = desktop.createWindow(QRect(0, 0, 16, 16), 0, true);
    const bool framed = platform::qt::test::waitUntil([&] { return desktop.framed(probe); },
                                                      std::chrono::seconds(1));
    desktop.destroy(probe);
    return framed;
  };
  return desktop.connected() &&
         platform::qt::test::waitUntil(framesAProbe, std::chrono::seconds(30));
}

}  // namespace quillmere::test
