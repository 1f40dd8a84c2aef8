#include "platform/x11/window_server.h"

#include <unistd.h>
#include <xcb/res.h>

#include <QSocketNotifier>
#include <algorithm>
#include <array>

#include "platform/x11/xcb_reply.h"

namespace platform::x11 {

namespace {

constexpr int kActiveZeroGraceMs = 50;
// Enough for any real atom list; a longer value is cut, never read past its end.
constexpr std::uint32_t kMaxListLength = 1024;
constexpr std::uint32_t kMaxClients = 65536;
// Frames rarely nest clients more than two deep; this bounds the walk up to the root.
constexpr int kMaxFrameDepth = 6;
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFFu;

xcb_get_property_cookie_t getProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t atom,
                                      std::uint32_t length = kMaxListLength) {
  return xcb_get_property(c, 0, w, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, length);
}

XcbReply<xcb_get_property_reply_t> propertyReply(xcb_connection_t* c,
                                                 xcb_get_property_cookie_t cookie) {
  xcb_generic_error_t* error = nullptr;
  return takeReply(xcb_get_property_reply(c, cookie, &error), error);
}

}  // namespace

struct WindowServer::Client {
  ClientProperties properties;
  std::optional<ProcessId> resourcePid;  // from the X-Resource extension
  bool propertiesKnown = false;
  bool selected = false;
};

WindowServer::WindowServer(QObject* parent) : QObject(parent), ownPid_(::getpid()) {
  connection_ = xcb_connect(nullptr, &screenNumber_);
  if (xcb_connection_has_error(connection_) == 0) {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber_ && it.rem > 0; ++i) xcb_screen_next(&it);
    if (it.rem > 0) {
      screen_ = it.data;
      root_ = screen_->root;
      atoms_ = Atoms::intern(connection_);
    }
  }
  restacker_ = std::make_unique<OverlayRestacker>(connection_, root_, atoms_, [this] { settle(); });
  if (!isConnected()) return;

  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection_);

  activeZeroTimer_.setSingleShot(true);
  activeZeroTimer_.setInterval(kActiveZeroGraceMs);
  connect(&activeZeroTimer_, &QTimer::timeout, this, [this] {
    if (activeWindow_ == XCB_NONE) setFrontmost(-1);
    settle();  // posts the activation, and restacks after it, as for any other change
  });

  notifier_ =
      new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { readEvents(); });
  settle();
}

WindowServer::~WindowServer() {
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

bool WindowServer::isConnected() const {
  return connection_ != nullptr && screen_ != nullptr && xcb_connection_has_error(connection_) == 0;
}

void WindowServer::waitForServer() {
  if (!isConnected()) return;
  xcb_generic_error_t* error = nullptr;
  takeReply(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), &error),
            error);
  // Events that came with the reply are read already, and the socket will not say so again.
  while (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_)) {
    handleEvent(event);
    std::free(event);
  }
}

std::uint32_t WindowServer::nextRequestSequence() {
  return xcb_no_operation(connection_).sequence + 1;
}

void WindowServer::readEvents() {
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    handleEvent(event);
    std::free(event);
  }
  if (xcb_connection_has_error(connection_) != 0) {
    notifier_->setEnabled(false);
    emit connectionLost();
    return;
  }
  settle();
}

void WindowServer::handleEvent(const xcb_generic_event_t* event) {
  switch (event->response_type & 0x7F) {
    case 0:  // an error: a window of another client went away, which is normal
      return;
    case XCB_CREATE_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_create_notify_event_t*>(event);
      if (e->parent != root_ || predatesStackSnapshot(event)) return;
      stack_.created(e->window);
      // The event does not tell an InputOnly window from a drawn one; the attributes will.
      TopLevel top;
      top.geometryKnown = true;
      top.overrideRedirect = e->override_redirect != 0;
      top.geometry =
          PixelRect{e->x, e->y, e->width + 2 * e->border_width, e->height + 2 * e->border_width};
      topLevels_[e->window] = top;
      orderChanged_ = true;
      return;
    }
    case XCB_DESTROY_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
      if (!stack_.contains(e->window)) return;
      stack_.destroyed(e->window);
      topLevels_.erase(e->window);
      clients_.erase(e->window);
      clientOfFrame_.erase(e->window);
      orderChanged_ = true;
      return;
    }
    case XCB_MAP_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(event);
      auto found = topLevels_.find(e->window);
      if (found == topLevels_.end()) return;
      found->second.mapped = true;
      found->second.overrideRedirect = e->override_redirect != 0;
      membersDirty_ = true;
      orderChanged_ = true;
      return;
    }
    case XCB_UNMAP_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
      auto found = topLevels_.find(e->window);
      if (found == topLevels_.end()) return;
      found->second.mapped = false;
      orderChanged_ = true;
      return;
    }
    case XCB_CONFIGURE_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
      if (e->event != root_ || !stack_.contains(e->window)) return;
      if (auto top = topLevels_.find(e->window); top != topLevels_.end()) {
        const PixelRect geometry{e->x, e->y, e->width + 2 * e->border_width,
                                 e->height + 2 * e->border_width};
        if (!top->second.geometryKnown || !(top->second.geometry == geometry)) {
          const bool wasSeen = canBeSeen(top->second);
          top->second.geometry = geometry;
          top->second.geometryKnown = true;
          if (canBeSeen(top->second) != wasSeen) orderChanged_ = true;
        }
      }
      if (predatesStackSnapshot(event)) return;
      if (stack_.isDirectlyAbove(e->window, e->above_sibling)) return;  // moved or resized only
      // Another window moved in the stack: a change the managed overlays may be asked for.
      if (overlayOf(e->window) == XCB_NONE) restacker_->otherWindowRestacked();
      if (!stack_.restacked(e->window, e->above_sibling)) stackDirty_ = true;
      orderChanged_ = true;
      return;
    }
    case XCB_REPARENT_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
      if (predatesStackSnapshot(event)) return;
      if (e->parent == root_) {
        stack_.created(e->window);
        topLevels_[e->window] = TopLevel{};
        membersDirty_ = true;
      } else if (stack_.contains(e->window)) {
        stack_.destroyed(e->window);
        topLevels_.erase(e->window);
      } else {
        return;
      }
      orderChanged_ = true;
      return;
    }
    case XCB_CIRCULATE_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_circulate_notify_event_t*>(event);
      if (predatesStackSnapshot(event)) return;
      stack_.circulated(e->window, e->place == XCB_PLACE_ON_TOP);
      orderChanged_ = true;
      return;
    }
    case XCB_PROPERTY_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
      lastServerTime_ = e->time;
      if (e->window == root_) {
        handleRootProperty(e->atom);
        return;
      }
      const xcb_atom_t atom = e->atom;
      if (atom != atoms_.netWmState && atom != atoms_.netWmWindowType && atom != atoms_.netWmPid &&
          atom != atoms_.netWmWindowOpacity && atom != atoms_.netWmDesktop) {
        return;  // titles, user times and the like change often and matter not
      }
      auto found = clients_.find(e->window);
      if (found == clients_.end()) return;
      found->second->propertiesKnown = false;
      membersDirty_ = true;
      return;
    }
    default:
      return;
  }
}

void WindowServer::handleRootProperty(xcb_atom_t atom) {
  if (atom == atoms_.netActiveWindow) activeDirty_ = true;
  if (atom == atoms_.netClientList) clientListDirty_ = true;
  if (atom == atoms_.netCurrentDesktop) desktopDirty_ = true;
  if (atom == atoms_.netSupportingWmCheck) windowManagerDirty_ = true;
}

bool WindowServer::anythingDirty() const {
  return stackDirty_ || windowManagerDirty_ || clientListDirty_ || activeDirty_ || desktopDirty_ ||
         membersDirty_ || orderChanged_;
}

// Brings the cache up to date, tells the observers, once, what changed, and then moves the
// overlays where their levels want them. The observers go first: an activation usually sets
// a new level, and a restack for the old one would spend the overlay's restack budget. What
// they do meanwhile (set levels, read the list, which may settle again) is restacked for once,
// after the last of them, by the settle that told them.
void WindowServer::settle() {
  if (settling_ || !isConnected()) return;
  settling_ = true;
  bool stackingMoved = orderChanged_;
  // Replies may carry events with them; those can dirty the cache again, a few times at most.
  for (int round = 0; round < 4 && anythingDirty(); ++round) {
    stackingMoved = refresh() || stackingMoved;
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_)) {
      handleEvent(event);
      std::free(event);
    }
    // Every event older than a snapshot came before its reply and is handled now; later
    // sequence numbers wrap, so the mark must not outlive this round.
    stackSnapshotSequence_.reset();
  }
  settling_ = false;

  const bool outermost = !notifying_;
  notifying_ = true;
  if (stackingMoved) emit stackingChanged();
  if (pendingSpaceChange_) {
    pendingSpaceChange_ = false;
    emit currentDesktopChanged();
  }
  if (pendingActivation_) {
    pendingActivation_ = false;
    emit frontmostApplicationChanged();
  }
  if (!outermost) return;
  notifying_ = false;
  restackOverlays();
}

bool WindowServer::refresh() {
  if (windowManagerDirty_) readWindowManager();
  if (stackDirty_) resyncStack();
  if (clientListDirty_) readClientList();
  if (desktopDirty_) readCurrentDesktop();
  readTopLevelAttributes();
  readClientProperties();
  if (activeDirty_) readActiveWindow();
  const bool changed = orderChanged_;
  if (changed) listValid_ = false;
  orderChanged_ = false;
  return changed;
}

void WindowServer::readWindowManager() {
  windowManagerDirty_ = false;
  auto rootCheck =
      propertyReply(connection_, getProperty(connection_, root_, atoms_.netSupportingWmCheck, 1));
  bool running = false;
  overlaysMustBeManaged_ = false;
  if (auto window = readWindow(rawProperty(rootCheck.get()))) {
    auto own = propertyReply(connection_,
                             getProperty(connection_, *window, atoms_.netSupportingWmCheck, 1));
    running = readWindow(rawProperty(own.get())) == window;
    if (running) {
      auto name =
          propertyReply(connection_, getProperty(connection_, *window, atoms_.netWmName, 16));
      const std::string_view text = readText(rawProperty(name.get()));
      // WORKAROUND(mutter): its compositor paints override-redirect windows above every
      // managed window and moves one placed between frames back above them at once.
      // WORKAROUND(kwin_x11): its compositor, too, paints them in a layer above every managed
      // window, whatever the X order; it honours a pager's restack below a sibling.
      const bool kwin = text.starts_with("KWin");
      overlaysMustBeManaged_ =
          kwin || text.starts_with("Mutter") || text.starts_with("GNOME Shell");
      restacker_->setSiblingRestacks(kwin);
    }
  }
  if (running != windowManagerRunning_) {
    windowManagerRunning_ = running;
    clientListDirty_ = true;
    orderChanged_ = true;
  }
}

// Events that come before this reply but were sent before the server answered are in the
// snapshot already; applied on top of it they would undo later changes.
bool WindowServer::predatesStackSnapshot(const xcb_generic_event_t* event) const {
  if (!stackSnapshotSequence_) return false;
  return static_cast<std::int16_t>(event->sequence - *stackSnapshotSequence_) < 0;
}

void WindowServer::resyncStack() {
  stackDirty_ = false;
  xcb_generic_error_t* error = nullptr;
  const xcb_query_tree_cookie_t cookie = xcb_query_tree(connection_, root_);
  auto tree = takeReply(xcb_query_tree_reply(connection_, cookie, &error), error);
  if (!tree) return;
  stackSnapshotSequence_ = static_cast<std::uint16_t>(cookie.sequence);
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  std::vector<xcb_window_t> order(children, children + xcb_query_tree_children_length(tree.get()));
  std::unordered_map<xcb_window_t, TopLevel> kept;
  for (xcb_window_t window : order) {
    auto found = topLevels_.find(window);
    kept[window] = found == topLevels_.end() ? TopLevel{} : found->second;
  }
  topLevels_ = std::move(kept);
  std::erase_if(clientOfFrame_,
                [this](const auto& entry) { return !topLevels_.contains(entry.first); });
  stack_.reset(std::move(order));
  membersDirty_ = true;
  orderChanged_ = true;
}

void WindowServer::readClientList() {
  clientListDirty_ = false;
  orderChanged_ = true;
  std::vector<xcb_window_t> clients;
  if (windowManagerRunning_) {
    auto reply = propertyReply(connection_,
                               getProperty(connection_, root_, atoms_.netClientList, kMaxClients));
    clients = readWindowList(rawProperty(reply.get())).value_or(std::vector<xcb_window_t>{});
  }

  // Find each client's frame, the root's child that holds it, one level per round trip.
  std::unordered_map<xcb_window_t, xcb_window_t> frameOfClient;
  for (const auto& [frame, client] : clientOfFrame_) frameOfClient[client] = frame;
  std::vector<std::pair<xcb_window_t, xcb_window_t>> walking;  // client, window reached
  for (xcb_window_t client : clients) {
    if (!frameOfClient.contains(client) || !stack_.contains(frameOfClient[client])) {
      walking.emplace_back(client, client);
    }
  }
  std::unordered_map<xcb_window_t, xcb_window_t> resolved;
  for (const auto& [frame, client] : clientOfFrame_) {
    if (std::find(clients.begin(), clients.end(), client) != clients.end()) {
      resolved[frame] = client;
    }
  }
  for (int depth = 0; depth < kMaxFrameDepth && !walking.empty(); ++depth) {
    std::vector<xcb_query_tree_cookie_t> cookies;
    for (const auto& step : walking) cookies.push_back(xcb_query_tree(connection_, step.second));
    std::vector<std::pair<xcb_window_t, xcb_window_t>> next;
    for (std::size_t i = 0; i < walking.size(); ++i) {
      xcb_generic_error_t* error = nullptr;
      auto tree = takeReply(xcb_query_tree_reply(connection_, cookies[i], &error), error);
      if (!tree) continue;  // gone
      if (tree->parent == root_) {
        resolved[walking[i].second] = walking[i].first;
        if (!stack_.contains(walking[i].second)) stackDirty_ = true;
      } else if (tree->parent != XCB_NONE) {
        next.emplace_back(walking[i].first, tree->parent);
      }
    }
    walking = std::move(next);
  }
  clientOfFrame_ = std::move(resolved);
  std::erase_if(clients_, [&](const auto& entry) {
    auto top = topLevels_.find(entry.first);
    const bool isRootChild = top != topLevels_.end();
    return !isRootChild && std::find(clients.begin(), clients.end(), entry.first) == clients.end();
  });
  membersDirty_ = true;
}

void WindowServer::readCurrentDesktop() {
  desktopDirty_ = false;
  auto reply =
      propertyReply(connection_, getProperty(connection_, root_, atoms_.netCurrentDesktop, 1));
  std::optional<std::uint32_t> desktop = readCardinal(rawProperty(reply.get()));
  if (desktop != currentDesktop_) {
    if (currentDesktop_ && desktop) pendingSpaceChange_ = true;
    currentDesktop_ = desktop;
    orderChanged_ = true;
  }
}

void WindowServer::readTopLevelAttributes() {
  struct Pending {
    xcb_window_t window;
    xcb_get_window_attributes_cookie_t attributes;
    std::optional<xcb_get_geometry_cookie_t> geometry;
  };
  std::vector<Pending> pending;
  for (const auto& [window, top] : topLevels_) {
    if (top.attributesKnown) continue;
    pending.push_back(Pending{
        window, xcb_get_window_attributes(connection_, window),
        top.geometryKnown ? std::nullopt : std::optional(xcb_get_geometry(connection_, window))});
  }
  for (const Pending& item : pending) {
    xcb_generic_error_t* error = nullptr;
    auto reply =
        takeReply(xcb_get_window_attributes_reply(connection_, item.attributes, &error), error);
    XcbReply<xcb_get_geometry_reply_t> geometry;
    if (item.geometry) {
      error = nullptr;
      geometry = takeReply(xcb_get_geometry_reply(connection_, *item.geometry, &error), error);
    }
    if (!reply || (item.geometry && !geometry)) {
      stack_.destroyed(item.window);
      topLevels_.erase(item.window);
      continue;
    }
    TopLevel& top = topLevels_[item.window];
    top.attributesKnown = true;
    top.mapped = reply->map_state == XCB_MAP_STATE_VIEWABLE;
    top.overrideRedirect = reply->override_redirect != 0;
    top.inputOnly = reply->_class == XCB_WINDOW_CLASS_INPUT_ONLY;
    if (geometry) {
      top.geometryKnown = true;
      top.geometry =
          PixelRect{geometry->x, geometry->y, geometry->width + 2 * geometry->border_width,
                    geometry->height + 2 * geometry->border_width};
    }
    orderChanged_ = true;
  }
}

void WindowServer::setMonitors(std::vector<PixelRect> monitors) {
  if (monitors == monitors_) return;
  monitors_ = std::move(monitors);
  orderChanged_ = true;
  listValid_ = false;
}

bool WindowServer::canBeSeen(const TopLevel& top) const {
  if (!top.mapped || top.inputOnly || !top.geometryKnown) return false;
  if (monitors_.empty()) {
    return liesOnAnyMonitor(top.geometry,
                            {PixelRect{0, 0, screen_->width_in_pixels, screen_->height_in_pixels}});
  }
  return liesOnAnyMonitor(top.geometry, monitors_);
}

xcb_window_t WindowServer::propertyWindowOf(xcb_window_t topLevel) const {
  auto found = topLevels_.find(topLevel);
  if (found == topLevels_.end() || overlayOf(topLevel) != XCB_NONE) return XCB_NONE;
  if (found->second.overrideRedirect || !windowManagerRunning_) return topLevel;
  auto client = clientOfFrame_.find(topLevel);
  return client == clientOfFrame_.end() ? XCB_NONE : client->second;
}

xcb_window_t WindowServer::overlayOf(xcb_window_t topLevel) const {
  if (restacker_->contains(topLevel)) return topLevel;
  auto client = clientOfFrame_.find(topLevel);
  if (client != clientOfFrame_.end() && restacker_->contains(client->second)) {
    return client->second;
  }
  return XCB_NONE;
}

void WindowServer::readClientProperties() {
  if (!membersDirty_) return;
  membersDirty_ = false;
  struct Pending {
    xcb_window_t window;
    Client* client;
    std::array<xcb_get_property_cookie_t, 5> cookies;
  };
  std::vector<Pending> pending;
  for (const auto& [window, top] : topLevels_) {
    if (!top.mapped) continue;
    const xcb_window_t owner = propertyWindowOf(window);
    if (owner == XCB_NONE) continue;
    auto& slot = clients_[owner];
    if (!slot) slot = std::make_unique<Client>();
    if (slot->propertiesKnown) continue;
    if (!slot->selected) {
      // Select first, then read: a change in between still arrives as an event.
      const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
      xcb_change_window_attributes(connection_, owner, XCB_CW_EVENT_MASK, &mask);
      slot->selected = true;
    }
    pending.push_back(Pending{owner,
                              slot.get(),
                              {getProperty(connection_, owner, atoms_.netWmWindowType),
                               getProperty(connection_, owner, atoms_.netWmState),
                               getProperty(connection_, owner, atoms_.netWmPid, 1),
                               getProperty(connection_, owner, atoms_.netWmWindowOpacity, 1),
                               getProperty(connection_, owner, atoms_.netWmDesktop, 1)}});
  }
  for (Pending& item : pending) {
    ClientProperties properties;
    auto type = propertyReply(connection_, item.cookies[0]);
    auto state = propertyReply(connection_, item.cookies[1]);
    auto pid = propertyReply(connection_, item.cookies[2]);
    auto opacity = propertyReply(connection_, item.cookies[3]);
    auto desktop = propertyReply(connection_, item.cookies[4]);
    properties.types = readAtomList(rawProperty(type.get())).value_or(std::vector<xcb_atom_t>{});
    properties.states = readAtomList(rawProperty(state.get())).value_or(std::vector<xcb_atom_t>{});
    properties.pid = readProcessId(rawProperty(pid.get()));
    properties.opacity = readOpacity(rawProperty(opacity.get()));
    properties.desktop = readCardinal(rawProperty(desktop.get()));
    item.client->properties = std::move(properties);
    item.client->propertiesKnown = true;
    if (!item.client->properties.pid && !item.client->resourcePid) {
      item.client->resourcePid = processIdOf(item.window);
    }
  }
  orderChanged_ = orderChanged_ || !pending.empty();
}

// The process id from the X-Resource extension: the id of the client that made the window.
std::optional<ProcessId> WindowServer::processIdOf(xcb_window_t window) {
  xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
  xcb_generic_error_t* error = nullptr;
  auto reply = takeReply(xcb_res_query_client_ids_reply(
                             connection_, xcb_res_query_client_ids(connection_, 1, &spec), &error),
                         error);
  if (!reply) return std::nullopt;
  for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
       xcb_res_client_id_value_next(&it)) {
    if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) == 0) continue;
    if (xcb_res_client_id_value_value_length(it.data) != 1) continue;
    const std::uint32_t pid = *xcb_res_client_id_value_value(it.data);
    if (pid > 0 && pid <= 0x7FFFFFFFu) return static_cast<ProcessId>(pid);
  }
  return std::nullopt;
}

void WindowServer::readActiveWindow() {
  activeDirty_ = false;
  auto reply =
      propertyReply(connection_, getProperty(connection_, root_, atoms_.netActiveWindow, 1));
  activeWindow_ = readFirstWindow(rawProperty(reply.get())).value_or(XCB_NONE);
  if (activeWindow_ == XCB_NONE) {
    // Switching windows passes through 0 for an instant; only a lasting 0 is the desktop.
    if (frontmostPid_ != -1 && !activeZeroTimer_.isActive()) activeZeroTimer_.start();
    return;
  }
  activeZeroTimer_.stop();
  std::optional<ProcessId> pid;
  auto known = clients_.find(activeWindow_);
  if (known != clients_.end() && known->second->propertiesKnown) {
    pid =
        known->second->properties.pid ? known->second->properties.pid : known->second->resourcePid;
  } else {
    auto pidReply =
        propertyReply(connection_, getProperty(connection_, activeWindow_, atoms_.netWmPid, 1));
    pid = readProcessId(rawProperty(pidReply.get()));
    if (!pid) pid = processIdOf(activeWindow_);
  }
  setFrontmost(pid.value_or(-1));
}

ProcessId WindowServer::frontmostProcessId() {
  if (anythingDirty()) settle();
  return frontmostPid_;
}

void WindowServer::setFrontmost(ProcessId pid) {
  if (pid == frontmostPid_) return;
  frontmostPid_ = pid;
  pendingActivation_ = true;
}

void WindowServer::rebuildList() {
  auto list = std::make_shared<WindowInfoList>();
  auto withoutDesktop = std::make_shared<WindowInfoList>();
  entries_.clear();
  entries_.reserve(stack_.bottomToTop().size());
  const auto& order = stack_.bottomToTop();
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const xcb_window_t window = *it;
    StackEntry entry{window, std::nullopt};
    WindowInfo info;
    const xcb_window_t overlay = overlayOf(window);
    // A managed overlay's frame stands in the stack as the overlay itself.
    if (overlay != XCB_NONE) entry.window = overlay;
    if (const auto state = restacker_->stateOf(overlay)) {
      if (state->onScreen) {
        info = WindowInfo{{std::string(kWindowNumberKey), std::int64_t{overlay}},
                          {std::string(kWindowOwnerPidKey), std::int64_t{ownPid_}},
                          {std::string(kWindowLayerKey), state->level},
                          {std::string(kWindowAlphaKey), state->alpha}};
      }
    } else if (auto top = topLevels_.find(window);
               top != topLevels_.end() && canBeSeen(top->second)) {
      const xcb_window_t owner = propertyWindowOf(window);
      auto client = clients_.find(owner);
      if (owner != XCB_NONE && client != clients_.end() && client->second->propertiesKnown) {
        const ClientProperties& properties = client->second->properties;
        const bool hidden = std::find(properties.states.begin(), properties.states.end(),
                                      atoms_.netWmStateHidden) != properties.states.end() &&
                            atoms_.netWmStateHidden != XCB_NONE;
        const bool elsewhere = currentDesktop_ && properties.desktop &&
                               *properties.desktop != kAllDesktops &&
                               *properties.desktop != *currentDesktop_;
        if (!hidden && !elsewhere) {
          const std::int32_t layer =
              layerForWindow(properties, top->second.overrideRedirect, atoms_.layer);
          entry.layer = layer;
          entry.client = owner;
          info = WindowInfo{{std::string(kWindowNumberKey), std::int64_t{owner}},
                            {std::string(kWindowLayerKey), std::int64_t{layer}}};
          const auto pid = properties.pid ? properties.pid : client->second->resourcePid;
          if (pid) info.emplace(std::string(kWindowOwnerPidKey), std::int64_t{*pid});
          if (properties.opacity) info.emplace(std::string(kWindowAlphaKey), *properties.opacity);
        }
      }
    }
    entries_.push_back(entry);
    if (info.empty()) continue;
    const bool desktopElement = entry.layer == kDesktopLayer;
    if (!desktopElement) withoutDesktop->push_back(info);
    list->push_back(std::move(info));
  }
  std::reverse(entries_.begin(), entries_.end());
  list_ = std::move(list);
  listWithoutDesktop_ = std::move(withoutDesktop);
  listValid_ = true;
}

std::shared_ptr<const WindowInfoList> WindowServer::windowList(bool excludeDesktopElements) {
  if (!isConnected()) return nullptr;
  if (anythingDirty()) settle();
  if (!listValid_) rebuildList();
  return excludeDesktopElements ? listWithoutDesktop_ : list_;
}

void WindowServer::addOverlay(xcb_window_t window, std::function<OverlayState()> state,
                              bool managed) {
  restacker_->add(window, std::move(state), managed);
  listValid_ = false;
}

void WindowServer::removeOverlay(xcb_window_t window) {
  restacker_->remove(window);
  listValid_ = false;
}

void WindowServer::overlayDidChange(xcb_window_t window) {
  listValid_ = false;
  // Inside a settle the observers are still being told; it restacks once they are done.
  if (!restacker_->contains(window) || settling_ || notifying_) return;
  settle();
}

void WindowServer::overlayAlphaDidChange() {
  listValid_ = false;
}

void WindowServer::restackOverlays() {
  if (restacker_->empty()) return;
  if (!listValid_) rebuildList();
  restacker_->restack(entries_, lastServerTime_);
}

}  // namespace platform::x11
