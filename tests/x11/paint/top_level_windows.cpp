#include "top_level_windows.h"

#include <cstdlib>

namespace quillmere::test {

TopLevelWindows::TopLevelWindows(const std::string& displayName)
    : c_(xcb_connect(displayName.c_str(), nullptr)) {
  if (xcb_connection_has_error(c_) == 0) {
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
  }
}

TopLevelWindows::~TopLevelWindows() {
  xcb_disconnect(c_);
}

bool TopLevelWindows::windowManagerRunning() {
  const char name[] = "_NET_SUPPORTING_WM_CHECK";
  auto* atom = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, sizeof name - 1, name), nullptr);
  if (atom == nullptr) return false;
  auto* property = xcb_get_property_reply(
      c_, xcb_get_property(c_, 0, root_, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
  const bool running = property != nullptr && property->value_len == 1;
  std::free(atom);
  std::free(property);
  return running;
}

void TopLevelWindows::mapAgain(xcb_window_t window) {
  xcb_map_window(c_, window);
  xcb_flush(c_);
}

std::vector<std::pair<xcb_window_t, QRect>> TopLevelWindows::unmanaged() {
  std::vector<std::pair<xcb_window_t, QRect>> found;
  auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, root_), nullptr);
  if (tree == nullptr) return found;
  const xcb_window_t* children = xcb_query_tree_children(tree);
  for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
    auto* attributes =
        xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, children[i]), nullptr);
    auto* geometry = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, children[i]), nullptr);
    if (attributes != nullptr && geometry != nullptr && attributes->override_redirect &&
        attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
      found.emplace_back(children[i],
                         QRect(geometry->x, geometry->y, geometry->width, geometry->height));
    }
    std::free(attributes);
    std::free(geometry);
  }
  std::free(tree);
  return found;
}

}  // namespace quillmere::test
