#include "platform/x11/paint/beneath_scene.h"

#include <xcb/composite.h>

#include <algorithm>

#include "platform/x11/xcb_reply.h"

namespace platform::x11 {

namespace {

struct WindowCookies {
  xcb_get_window_attributes_cookie_t attributes{};
  xcb_get_geometry_cookie_t geometry{};
  bool sent = false;
};

}  // namespace

BeneathScene::~BeneathScene() {
  clear();
}

void BeneathScene::clear() {
  for (Tracked& tracked : tracked_) untrack(tracked);
  tracked_.clear();
  stacks_.clear();
}

// The viewable windows below the topmost overlay, bottom first, with the overlays' positions
// in the root's stacking order (-1 for an overlay that is not a child of the root).
std::vector<BeneathScene::Candidate> BeneathScene::readCandidates(
    std::span<const OverlayPlace> overlays, std::vector<std::ptrdiff_t>& overlayPositions) const {
  xcb_connection_t* c = connection_.get();
  overlayPositions.assign(overlays.size(), -1);
  XcbReply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(c, xcb_query_tree(c, connection_.root()), nullptr));
  if (!tree) return {};
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  const auto isOverlay = [&](xcb_window_t window) {
    return std::any_of(overlays.begin(), overlays.end(),
                       [window](const OverlayPlace& place) { return place.window == window; });
  };
  std::ptrdiff_t top = -1;
  for (int i = 0; i < count; ++i) {
    for (std::size_t j = 0; j < overlays.size(); ++j) {
      if (children[i] == overlays[j].window) {
        overlayPositions[j] = i;
        top = std::max<std::ptrdiff_t>(top, i);
      }
    }
  }
  // Ask for every window at once so that the answers take one round trip.
  std::vector<WindowCookies> cookies(static_cast<std::size_t>(std::max<std::ptrdiff_t>(top, 0)));
  for (std::size_t i = 0; i < cookies.size(); ++i) {
    if (isOverlay(children[i])) continue;
    cookies[i] = {xcb_get_window_attributes(c, children[i]), xcb_get_geometry(c, children[i]),
                  true};
  }
  std::vector<Candidate> candidates;
  for (std::size_t i = 0; i < cookies.size(); ++i) {
    if (!cookies[i].sent) continue;
    // A window that vanished in the meantime answers with an error, which is normal.
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, cookies[i].attributes, nullptr));
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, cookies[i].geometry, nullptr));
    if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) {
      continue;
    }
    std::optional<PictureFormat> format = connection_.formatForVisual(attributes->visual);
    if (!format) format = connection_.formatForDepth(geometry->depth);
    if (!format) continue;
    const int border = 2 * geometry->border_width;
    candidates.push_back(
        {children[i],
         QRect(geometry->x, geometry->y, geometry->width + border, geometry->height + border),
         *format, static_cast<std::ptrdiff_t>(i)});
  }
  return candidates;
}

void BeneathScene::refresh(std::span<const OverlayPlace> overlays) {
  std::vector<std::ptrdiff_t> positions;
  const std::vector<Candidate> candidates = readCandidates(overlays, positions);

  // Per overlay, the candidates that show through it, from the topmost down to the first
  // opaque window that covers it whole.
  std::vector<std::vector<std::size_t>> shown(overlays.size());
  std::vector<bool> backgroundShows(overlays.size(), true);
  for (std::size_t j = 0; j < overlays.size(); ++j) {
    for (std::size_t k = candidates.size(); k-- > 0;) {
      const Candidate& candidate = candidates[k];
      if (candidate.position >= positions[j] || !candidate.rect.intersects(overlays[j].rect)) {
        continue;
      }
      shown[j].push_back(k);
      if (!candidate.format.hasAlpha && candidate.rect.contains(overlays[j].rect)) {
        backgroundShows[j] = false;
        break;
      }
    }
    std::reverse(shown[j].begin(), shown[j].end());
  }

  for (Tracked& tracked : tracked_) tracked.needed = false;
  for (const auto& list : shown) {
    for (std::size_t k : list) track(candidates[k]).needed = true;
  }
  for (Tracked& tracked : tracked_) {
    if (!tracked.needed) untrack(tracked);
  }
  std::erase_if(tracked_, [](const Tracked& tracked) { return !tracked.needed; });

  std::vector<Stack> previous = std::move(stacks_);
  stacks_.clear();
  for (std::size_t j = 0; j < overlays.size(); ++j) {
    Stack stack{overlays[j].window, overlays[j].rect, {}, {}, backgroundShows[j], true};
    for (std::size_t k : shown[j]) {
      const auto it = std::find_if(tracked_.begin(), tracked_.end(), [&](const Tracked& t) {
        return t.window == candidates[k].window;
      });
      stack.windows.push_back(static_cast<std::size_t>(it - tracked_.begin()));
    }
    stacks_.push_back(std::move(stack));
  }
  namePixmaps();
  for (Stack& stack : stacks_) {
    for (std::size_t index : stack.windows) {
      const Tracked& tracked = tracked_[index];
      stack.shown.push_back({tracked.window, tracked.rect, tracked.readable});
    }
    const auto old = std::find_if(previous.begin(), previous.end(),
                                  [&](const Stack& s) { return s.overlay == stack.overlay; });
    stack.changed = old == previous.end() || old->rect != stack.rect ||
                    old->backgroundShows != stack.backgroundShows || old->shown != stack.shown;
  }
}

bool BeneathScene::changedBeneath(xcb_window_t overlay) const {
  const auto stack = std::find_if(stacks_.begin(), stacks_.end(),
                                  [overlay](const Stack& s) { return s.overlay == overlay; });
  return stack == stacks_.end() || stack->changed;
}

BeneathScene::Tracked& BeneathScene::track(const Candidate& candidate) {
  auto it = std::find_if(tracked_.begin(), tracked_.end(),
                         [&](const Tracked& t) { return t.window == candidate.window; });
  if (it == tracked_.end()) {
    tracked_.push_back({});
    it = std::prev(tracked_.end());
    it->window = candidate.window;
  }
  it->rect = candidate.rect;
  it->op = candidate.format.hasAlpha ? XCB_RENDER_PICT_OP_OVER : XCB_RENDER_PICT_OP_SRC;
  it->format = candidate.format.id;
  return *it;
}

// A window's pixmap changes when it is mapped or resized, so every refresh names it anew.
// The windows stay redirected while a compositor runs too: its own redirection may come or go
// at any moment, and a second automatic one costs the server nothing.
void BeneathScene::namePixmaps() {
  xcb_connection_t* c = connection_.get();
  std::vector<xcb_void_cookie_t> cookies;
  cookies.reserve(tracked_.size());
  for (Tracked& tracked : tracked_) {
    releasePicture(tracked);
    if (!tracked.redirected) {
      xcb_composite_redirect_window(c, tracked.window, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
      tracked.redirected = true;
    }
    if (tracked.damage == XCB_NONE) {
      tracked.damage = xcb_generate_id(c);
      xcb_damage_create(c, tracked.damage, tracked.window,
                        XCB_DAMAGE_REPORT_LEVEL_DELTA_RECTANGLES);
    }
    tracked.pixmap = xcb_generate_id(c);
    cookies.push_back(xcb_composite_name_window_pixmap_checked(c, tracked.window, tracked.pixmap));
    tracked.picture = xcb_generate_id(c);
    xcb_render_create_picture(c, tracked.picture, tracked.pixmap, tracked.format, 0, nullptr);
  }
  for (std::size_t i = 0; i < tracked_.size(); ++i) {
    XcbReply<xcb_generic_error_t> error(xcb_request_check(c, cookies[i]));
    tracked_[i].readable = !error;
  }
}

void BeneathScene::releasePicture(Tracked& tracked) {
  if (!connection_.broken()) {
    if (tracked.picture != XCB_NONE) xcb_render_free_picture(connection_.get(), tracked.picture);
    if (tracked.pixmap != XCB_NONE) xcb_free_pixmap(connection_.get(), tracked.pixmap);
  }
  tracked.picture = XCB_NONE;
  tracked.pixmap = XCB_NONE;
  tracked.readable = false;
}

void BeneathScene::untrack(Tracked& tracked) {
  releasePicture(tracked);
  if (connection_.broken()) return;
  if (tracked.damage != XCB_NONE) xcb_damage_destroy(connection_.get(), tracked.damage);
  if (tracked.redirected) {
    xcb_composite_unredirect_window(connection_.get(), tracked.window,
                                    XCB_COMPOSITE_REDIRECT_AUTOMATIC);
  }
  tracked.damage = XCB_NONE;
  tracked.redirected = false;
}

void BeneathScene::draw(xcb_window_t overlay, xcb_render_picture_t target,
                        const RootBackground& background) const {
  const auto stack = std::find_if(stacks_.begin(), stacks_.end(),
                                  [overlay](const Stack& s) { return s.overlay == overlay; });
  if (stack == stacks_.end()) return;
  const bool bottomUnreadable =
      !stack->windows.empty() && !tracked_[stack->windows.front()].readable;
  if (stack->backgroundShows || bottomUnreadable) background.draw(target, stack->rect);
  for (std::size_t index : stack->windows) {
    const Tracked& tracked = tracked_[index];
    if (!tracked.readable) continue;
    const QRect area = tracked.rect.intersected(stack->rect);
    xcb_render_composite(connection_.get(), tracked.op, tracked.picture, XCB_NONE, target,
                         static_cast<std::int16_t>(area.x() - tracked.rect.x()),
                         static_cast<std::int16_t>(area.y() - tracked.rect.y()), 0, 0,
                         static_cast<std::int16_t>(area.x() - stack->rect.x()),
                         static_cast<std::int16_t>(area.y() - stack->rect.y()),
                         static_cast<std::uint16_t>(area.width()),
                         static_cast<std::uint16_t>(area.height()));
  }
}

std::optional<QRect> BeneathScene::damagedArea(const xcb_damage_notify_event_t& event) const {
  const auto tracked = std::find_if(tracked_.begin(), tracked_.end(),
                                    [&](const Tracked& t) { return t.damage == event.damage; });
  if (tracked == tracked_.end()) return std::nullopt;
  // The area counts from the window's inside corner; it grows by the border, which may have
  // been painted too.
  const int border = std::max(0, (tracked->rect.width() - event.geometry.width) / 2);
  const QRect area(event.geometry.x + event.area.x, event.geometry.y + event.area.y,
                   event.area.width, event.area.height);
  return area.adjusted(-border, -border, border, border).intersected(tracked->rect);
}

void BeneathScene::rearmDamage() {
  for (const Tracked& tracked : tracked_) {
    xcb_damage_subtract(connection_.get(), tracked.damage, XCB_NONE, XCB_NONE);
  }
}

}  // namespace platform::x11
