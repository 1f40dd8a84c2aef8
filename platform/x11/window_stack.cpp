#include "platform/x11/window_stack.h"

#include <algorithm>

namespace platform::x11 {

void WindowStack::reset(std::vector<xcb_window_t> bottomToTop) {
  order_ = std::move(bottomToTop);
}

bool WindowStack::contains(xcb_window_t window) const {
  return std::find(order_.begin(), order_.end(), window) != order_.end();
}

void WindowStack::created(xcb_window_t window) {
  destroyed(window);
  order_.push_back(window);
}

void WindowStack::destroyed(xcb_window_t window) {
  std::erase(order_, window);
}

bool WindowStack::restacked(xcb_window_t window, xcb_window_t sibling) {
  if (sibling != XCB_NONE && !contains(sibling)) return false;
  destroyed(window);
  if (sibling == XCB_NONE) {
    order_.insert(order_.begin(), window);
    return true;
  }
  auto below = std::find(order_.begin(), order_.end(), sibling);
  order_.insert(below + 1, window);
  return true;
}

void WindowStack::circulated(xcb_window_t window, bool onTop) {
  if (!contains(window)) return;
  destroyed(window);
  if (onTop) {
    order_.push_back(window);
  } else {
    order_.insert(order_.begin(), window);
  }
}

void WindowStack::reparented(xcb_window_t window, xcb_window_t parent, xcb_window_t root) {
  if (parent == root) {
    created(window);
  } else {
    destroyed(window);
  }
}

bool WindowStack::isDirectlyAbove(xcb_window_t window, xcb_window_t sibling) const {
  auto found = std::find(order_.begin(), order_.end(), window);
  if (found == order_.end()) return false;
  if (sibling == XCB_NONE) return found == order_.begin();
  return found != order_.begin() && *(found - 1) == sibling;
}

bool liesOnAnyMonitor(const PixelRect& window, const std::vector<PixelRect>& monitors) {
  if (window.width <= 0 || window.height <= 0) return false;
  // In 64 bits: a hostile window's size plus position must not wrap.
  const std::int64_t left = window.x;
  const std::int64_t top = window.y;
  const std::int64_t right = left + window.width;
  const std::int64_t bottom = top + window.height;
  return std::any_of(monitors.begin(), monitors.end(), [&](const PixelRect& monitor) {
    return left < std::int64_t{monitor.x} + monitor.width && right > monitor.x &&
           top < std::int64_t{monitor.y} + monitor.height && bottom > monitor.y;
  });
}

std::optional<xcb_window_t> restackReference(const std::vector<StackEntry>& bottomToTop,
                                             std::int64_t level) {
  for (const StackEntry& entry : bottomToTop) {
    if (entry.layer && *entry.layer > level) return entry.window;
  }
  return std::nullopt;
}

bool isPlacedFor(const std::vector<StackEntry>& bottomToTop, xcb_window_t overlay,
                 std::optional<xcb_window_t> reference) {
  auto isOverlay = [overlay](const StackEntry& entry) { return entry.window == overlay; };
  auto position = std::find_if(bottomToTop.begin(), bottomToTop.end(), isOverlay);
  if (position == bottomToTop.end()) return false;
  for (auto above = position + 1; above != bottomToTop.end(); ++above) {
    if (reference && above->window == *reference) return true;
    if (above->layer) return false;
  }
  return !reference;
}

}  // namespace platform::x11
