#include "platform/x11/overlay_restacker.h"

#include <algorithm>

#include "platform/x11/window_properties.h"

namespace platform::x11 {

namespace {
constexpr auto kRestackInterval = std::chrono::milliseconds(100);
}  // namespace

OverlayRestacker::OverlayRestacker(xcb_connection_t* connection, xcb_window_t root,
                                   const Atoms& atoms, std::function<void()> restackDue)
    : connection_(connection), root_(root), atoms_(atoms) {
  timer_.setSingleShot(true);
  timer_.callOnTimeout(std::move(restackDue));
}

void OverlayRestacker::add(xcb_window_t window, std::function<OverlayState()> state, bool managed) {
  Overlay overlay;
  overlay.state = std::move(state);
  overlay.managed = managed;
  overlays_[window] = std::move(overlay);
}

void OverlayRestacker::remove(xcb_window_t window) {
  overlays_.erase(window);
}

std::optional<OverlayState> OverlayRestacker::stateOf(xcb_window_t window) const {
  auto found = overlays_.find(window);
  if (found == overlays_.end()) return std::nullopt;
  return found->second.state();
}

void OverlayRestacker::otherWindowRestacked() {
  for (auto& entry : overlays_) entry.second.requested.reset();
}

void OverlayRestacker::restack(const std::vector<StackEntry>& bottomToTop,
                               xcb_timestamp_t serverTime) {
  for (auto& [window, overlay] : overlays_) restackOne(window, overlay, bottomToTop, serverTime);
}

void OverlayRestacker::restackOne(xcb_window_t window, Overlay& overlay,
                                  const std::vector<StackEntry>& bottomToTop,
                                  xcb_timestamp_t serverTime) {
  const OverlayState state = overlay.state();
  auto isOverlay = [window](const StackEntry& entry) { return entry.window == window; };
  if (!state.onScreen || std::none_of(bottomToTop.begin(), bottomToTop.end(), isOverlay)) return;
  const std::optional<xcb_window_t> reference = restackReference(bottomToTop, state.level);
  if (isPlacedFor(bottomToTop, window, reference)) return;
  ++restacksAsked_;

  // The interval keeps a window manager that moves windows about from being fought; a new
  // level is a change of our own and goes at once, or a restack for the level that a stack
  // change found (kwin_x11 restacks 5 to 15 ms before it changes the active window) would hold
  // back the one for the new active window.
  const auto now = std::chrono::steady_clock::now();
  const auto due = overlay.lastRestack + kRestackInterval;
  if (now < due && overlay.restackedLevel == state.level) {
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - now);
    if (!timer_.isActive() || timer_.remainingTime() > wait.count() + 1) {
      timer_.start(static_cast<int>(wait.count()) + 1);
    }
    return;
  }
  overlay.lastRestack = now;
  overlay.restackedLevel = state.level;
  if (overlay.managed) {
    const auto referenceEntry = std::find_if(
        bottomToTop.begin(), bottomToTop.end(),
        [&](const StackEntry& entry) { return reference && entry.window == *reference; });
    restackManaged(window, overlay, state.level,
                   referenceEntry == bottomToTop.end() ? nullptr : &*referenceEntry, serverTime);
    return;
  }
  // The reference is a child of the root, a frame and never a client, so this cannot BadMatch.
  if (reference) {
    const std::uint32_t values[] = {*reference, XCB_STACK_MODE_BELOW};
    xcb_configure_window(connection_, window,
                         XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
  } else {
    const std::uint32_t values[] = {XCB_STACK_MODE_ABOVE};
    xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_STACK_MODE, values);
  }
  xcb_flush(connection_);
  // The stack moves the overlay only when the server says where it went: events on their way
  // meanwhile would otherwise land on a guessed order and leave it wrong until the next change.
}

void OverlayRestacker::sendToWindowManager(xcb_window_t window, xcb_atom_t type,
                                           const std::array<std::uint32_t, 5>& data) {
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = type;
  std::copy(data.begin(), data.end(), message.data.data32);
  xcb_send_event(connection_, 0, root_,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
}

// A managed overlay goes where the window manager's layers allow: the layer by its state
// (below, among or above normal windows), the place directly below the reference. Asked once
// per change; a window manager that places it elsewhere is left to do so.
void OverlayRestacker::restackManaged(xcb_window_t window, Overlay& overlay, std::int64_t level,
                                      const StackEntry* reference, xcb_timestamp_t serverTime) {
  const auto request = std::make_pair(
      level, reference ? std::optional<xcb_window_t>(reference->window) : std::nullopt);
  if (overlay.requested == request) return;
  overlay.requested = request;
  constexpr std::uint32_t kRemove = 0, kAdd = 1, kFromPager = 2;
  const int band = level < kNormalLayer ? -1 : (level >= kFloatingLayer - 1 ? 1 : 0);
  if (band != overlay.band) {
    overlay.band = band;
    sendToWindowManager(window, atoms_.netWmState,
                        {kRemove, atoms_.layer.stateAbove, atoms_.layer.stateBelow, kFromPager, 0});
    if (band != 0) {
      const xcb_atom_t state = band < 0 ? atoms_.layer.stateBelow : atoms_.layer.stateAbove;
      sendToWindowManager(window, atoms_.netWmState, {kAdd, state, XCB_NONE, kFromPager, 0});
    }
  }
  // A pager's restack is honoured whatever the focus-stealing prevention thinks of our user
  // time; it names the reference by the window its frame holds. Below normal windows the
  // overlay belongs on top of its layer, above windows of the layer that another application's
  // activation raised.
  if (siblingRestacks_ && atoms_.netRestackWindow != XCB_NONE) {
    const xcb_window_t sibling = reference && band >= 0 ? reference->client : XCB_NONE;
    const std::uint32_t detail = sibling != XCB_NONE ? XCB_STACK_MODE_BELOW : XCB_STACK_MODE_ABOVE;
    sendToWindowManager(window, atoms_.netRestackWindow, {kFromPager, sibling, detail, 0, 0});
    xcb_flush(connection_);
    return;
  }
  // WORKAROUND(mutter): it honours a client's restack only from a window whose user time is
  // not older than the active window's, ignores the sibling and _NET_RESTACK_WINDOW: the
  // overlay can only go to the top of its layer or to the bottom. Below normal windows that
  // is the top, directly below them; above them the bottom, below every window that keeps
  // above the others; with nothing to stay below, the top.
  if (atoms_.netWmUserTime != XCB_NONE) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atoms_.netWmUserTime,
                        XCB_ATOM_CARDINAL, 32, 1, &serverTime);
  }
  const std::uint32_t mode = band < 0 || !reference ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW;
  xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_STACK_MODE, &mode);
  xcb_flush(connection_);
}

}  // namespace platform::x11
