#pragma once

#include <xcb/xcb.h>

#include <QPointer>
#include <functional>

#include "platform/window.h"
#include "platform/x11/screen_geometry.h"
#include "platform/x11/window_server.h"

namespace platform::x11 {

class OverlayPaintEngine;

// What an overlay's X window needs from the backend. The paint engine may be absent, and a
// window may outlive the backend that made it: then both pointers read null.
struct OverlayContext {
  QPointer<WindowServer> server;
  QPointer<QObject> paintEngine;  // an OverlayPaintEngine
  std::function<ScreenGeometry()> screens;
};

// An overlay as an X window: override-redirect (managed where the window manager needs it), 32-bit
// ARGB, input-transparent, never focused, on every desktop and out of taskbars and pagers. Its
// window number is its X id. The X window is made when the number is first asked for or the window
// is first ordered front.
class OverlayWindowPeer final : public WindowPeer {
 public:
  OverlayWindowPeer(Window& window, OverlayContext context);
  ~OverlayWindowPeer() override;
  OverlayWindowPeer(const OverlayWindowPeer&) = delete;
  OverlayWindowPeer& operator=(const OverlayWindowPeer&) = delete;

  WindowNumber windowNumber() override;
  void frameDidChange() override;
  void levelDidChange() override;
  void alphaDidChange() override;
  void contentDidChange() override;
  void orderFront() override;

 private:
  void ensureCreated();
  void setProperties();
  void setManagedProperties();
  void startPainting();
  // The painter while this overlay paints through it, or null.
  OverlayPaintEngine* painter() const;

  Window& window_;
  OverlayContext context_;
  xcb_window_t xid_ = XCB_NONE;
  PixelRect geometry_;
  bool onScreen_ = false;
  bool painting_ = false;
  bool managed_ = false;
};

}  // namespace platform::x11
