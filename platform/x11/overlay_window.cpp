#include "platform/x11/overlay_window.h"

#include <unistd.h>
#include <xcb/shape.h>

#include <QRect>
#include <array>
#include <string_view>

#include "platform/render/effect_renderer.h"
#include "platform/x11/paint/overlay_paint_engine.h"
#include "platform/x11/window_server.h"

namespace platform::x11 {

namespace {

constexpr std::uint32_t kAllDesktops = 0xFFFFFFFFu;
constexpr std::string_view kWindowClass{"quillmere\0Quillmere\0", 20};
constexpr std::string_view kWindowName = "Quillmere overlay";

xcb_visualid_t findArgbVisual(const xcb_screen_t* screen) {
  for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0;
       xcb_depth_next(&depths)) {
    if (depths.data->depth != 32) continue;
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
         xcb_visualtype_next(&visuals)) {
      if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) return visuals.data->visual_id;
    }
  }
  return XCB_NONE;
}

void setCardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
                  const std::uint32_t* values, std::uint32_t count) {
  if (property == XCB_NONE) return;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, 32, count, values);
}

}  // namespace

OverlayWindowPeer::OverlayWindowPeer(Window& window, OverlayContext context)
    : window_(window), context_(std::move(context)) {}

OverlayPaintEngine* OverlayWindowPeer::painter() const {
  if (painting_ && context_.server) {
    return static_cast<OverlayPaintEngine*>(context_.paintEngine.data());
  }
  return nullptr;
}

OverlayWindowPeer::~OverlayWindowPeer() {
  if (xid_ == XCB_NONE || !context_.server) return;
  if (OverlayPaintEngine* paint = painter()) paint->removeOverlay(xid_);
  context_.server->removeOverlay(xid_);
  if (context_.server->isConnected()) {
    xcb_destroy_window(context_.server->connection(), xid_);
    xcb_flush(context_.server->connection());
  }
}

WindowNumber OverlayWindowPeer::windowNumber() {
  // The number stays what it was once the backend is gone.
  ensureCreated();
  return static_cast<WindowNumber>(xid_);
}

void OverlayWindowPeer::ensureCreated() {
  if (xid_ != XCB_NONE || !context_.server || !context_.server->isConnected()) return;
  WindowServer& server = *context_.server;
  xcb_connection_t* c = server.connection();
  const xcb_screen_t* screen = server.screen();
  geometry_ = context_.screens().pixelRectFrom(window_.frame());

  xcb_visualid_t visual = findArgbVisual(screen);
  std::uint8_t depth = 32;
  xcb_colormap_t colormap = screen->default_colormap;
  if (visual == XCB_NONE) {
    visual = screen->root_visual;
    depth = screen->root_depth;
  } else {
    colormap = xcb_generate_id(c);
    xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, visual);
  }

  xid_ = xcb_generate_id(c);
  managed_ = server.overlaysMustBeManaged();
  const std::uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT |
                             XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
  // A managed overlay's own property changes tell the server's time, which its restacks need.
  const std::array<std::uint32_t, 5> values = {
      0, 0, managed_ ? 0u : 1u, managed_ ? std::uint32_t{XCB_EVENT_MASK_PROPERTY_CHANGE} : 0u,
      colormap};
  xcb_create_window(c, depth, xid_, screen->root, static_cast<std::int16_t>(geometry_.x),
                    static_cast<std::int16_t>(geometry_.y),
                    static_cast<std::uint16_t>(std::max(1, geometry_.width)),
                    static_cast<std::uint16_t>(std::max(1, geometry_.height)), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, visual, mask, values.data());
  // Every click, drag and scroll goes to what lies beneath.
  xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, xid_, 0,
                       0, 0, nullptr);
  setProperties();
  server.addOverlay(
      xid_,
      [this] {
        return OverlayState{window_.level(), window_.alphaValue(), onScreen_};
      },
      managed_);
  xcb_flush(c);
}

void OverlayWindowPeer::setProperties() {
  xcb_connection_t* c = context_.server->connection();
  const Atoms& atoms = context_.server->atoms();

  // Never given focus: no input hint.
  const std::array<std::uint32_t, 9> hints = {1, 0, 0, 0, 0, 0, 0, 0, 0};
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, xid_, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                      hints.size(), hints.data());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, xid_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                      kWindowClass.size(), kWindowClass.data());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, xid_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      kWindowName.size(), kWindowName.data());
  if (atoms.netWmName != XCB_NONE && atoms.utf8String != XCB_NONE) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xid_, atoms.netWmName, atoms.utf8String, 8,
                        kWindowName.size(), kWindowName.data());
  }
  const std::uint32_t pid = static_cast<std::uint32_t>(::getpid());
  setCardinals(c, xid_, atoms.netWmPid, XCB_ATOM_CARDINAL, &pid, 1);
  setCardinals(c, xid_, atoms.netWmDesktop, XCB_ATOM_CARDINAL, &kAllDesktops, 1);
  const std::array<std::uint32_t, 4> states = {atoms.netWmStateSticky, atoms.netWmStateSkipTaskbar,
                                               atoms.netWmStateSkipPager, atoms.layer.stateBelow};
  // A managed overlay starts below normal windows; an unmanaged one has no use for the state.
  setCardinals(c, xid_, atoms.netWmState, XCB_ATOM_ATOM, states.data(),
               managed_ ? states.size() : states.size() - 1);
  if (managed_) setManagedProperties();
  // WORKAROUND(picom): its shadows are drawn for unmanaged windows too unless told otherwise.
  const std::uint32_t noShadow = 0;
  setCardinals(c, xid_, atoms.compositingShadow, XCB_ATOM_CARDINAL, &noShadow, 1);
}

// What a window manager needs to manage the overlay as one: no decoration, its exact place and
// size, and no focus when it is mapped.
void OverlayWindowPeer::setManagedProperties() {
  xcb_connection_t* c = context_.server->connection();
  const Atoms& atoms = context_.server->atoms();
  constexpr std::uint32_t kMotifDecorations = 2;
  const std::array<std::uint32_t, 5> motif = {kMotifDecorations, 0, 0, 0, 0};
  setCardinals(c, xid_, atoms.motifWmHints, atoms.motifWmHints, motif.data(), motif.size());
  constexpr std::uint32_t kUserPosition = 1, kUserSize = 2, kMinSize = 16, kMaxSize = 32;
  std::array<std::uint32_t, 18> sizeHints{};
  sizeHints[0] = kUserPosition | kUserSize | kMinSize | kMaxSize;
  sizeHints[1] = static_cast<std::uint32_t>(geometry_.x);
  sizeHints[2] = static_cast<std::uint32_t>(geometry_.y);
  sizeHints[3] = sizeHints[5] = sizeHints[7] = static_cast<std::uint32_t>(geometry_.width);
  sizeHints[4] = sizeHints[6] = sizeHints[8] = static_cast<std::uint32_t>(geometry_.height);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, xid_, XCB_ATOM_WM_NORMAL_HINTS,
                      XCB_ATOM_WM_SIZE_HINTS, 32, sizeHints.size(), sizeHints.data());
  const std::uint32_t neverFocus = 0;
  setCardinals(c, xid_, atoms.netWmUserTime, XCB_ATOM_CARDINAL, &neverFocus, 1);
}

void OverlayWindowPeer::frameDidChange() {
  if (xid_ == XCB_NONE || !context_.server || !context_.server->isConnected()) return;
  geometry_ = context_.screens().pixelRectFrom(window_.frame());
  const std::array<std::uint32_t, 4> values = {
      static_cast<std::uint32_t>(geometry_.x), static_cast<std::uint32_t>(geometry_.y),
      static_cast<std::uint32_t>(std::max(1, geometry_.width)),
      static_cast<std::uint32_t>(std::max(1, geometry_.height))};
  xcb_configure_window(context_.server->connection(), xid_,
                       XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                           XCB_CONFIG_WINDOW_HEIGHT,
                       values.data());
  xcb_flush(context_.server->connection());
  if (OverlayPaintEngine* paint = painter()) {
    paint->removeOverlay(xid_);
    painting_ = false;
    startPainting();
  }
}

void OverlayWindowPeer::levelDidChange() {
  if (xid_ != XCB_NONE && context_.server) context_.server->overlayDidChange(xid_);
}

void OverlayWindowPeer::alphaDidChange() {
  if (xid_ == XCB_NONE || !context_.server) return;
  context_.server->overlayAlphaDidChange();
  if (OverlayPaintEngine* paint = painter()) paint->setWindowAlpha(xid_, window_.alphaValue());
}

void OverlayWindowPeer::contentDidChange() {
  if (OverlayPaintEngine* paint = painter()) {
    paint->setContent(xid_, render::snapshotContent(window_.contentView()));
  }
}

void OverlayWindowPeer::startPainting() {
  auto* paint = static_cast<OverlayPaintEngine*>(context_.paintEngine.data());
  if (painting_ || paint == nullptr || !context_.server || !paint->available()) return;
  painting_ = true;
  // The painter works on a connection of its own, and the server keeps the order of requests
  // only within one connection: until it has made and mapped the window on this one, the
  // painter's requests for it could come first, fail, and leave the overlay black for good.
  context_.server->waitForServer();
  const double ratio = context_.screens().devicePixelRatioFor(window_.frame());
  paint->addOverlay(xid_, QRect(geometry_.x, geometry_.y, geometry_.width, geometry_.height),
                    ratio);
  paint->setContent(xid_, render::snapshotContent(window_.contentView()));
  paint->setWindowAlpha(xid_, window_.alphaValue());
}

void OverlayWindowPeer::orderFront() {
  ensureCreated();
  if (xid_ == XCB_NONE || !context_.server) return;
  if (!onScreen_) {
    onScreen_ = true;
    xcb_map_window(context_.server->connection(), xid_);
    xcb_flush(context_.server->connection());
    startPainting();
  }
  context_.server->overlayDidChange(xid_);
}

}  // namespace platform::x11
