#pragma once

#include <xcb/render.h>
#include <xcb/xcb.h>

#include <QRect>
#include <span>

#include "platform/x11/paint/beneath_scene.h"
#include "platform/x11/paint/paint_connection.h"
#include "platform/x11/paint/root_background.h"
#include "platform/x11/paint/shm_image.h"

namespace platform::x11 {

// One overlay window's drawing surfaces: a server-side canvas where what lies beneath is
// composed, its pixels read back, and the pixels to show.
class OverlayTarget final {
 public:
  OverlayTarget(const PaintConnection& connection, xcb_window_t window, QRect rect);
  ~OverlayTarget();
  OverlayTarget(const OverlayTarget&) = delete;
  OverlayTarget& operator=(const OverlayTarget&) = delete;

  xcb_window_t window() const { return window_; }
  QRect rect() const { return rect_; }
  // Only a 32-bit window can be translucent.
  bool hasAlphaChannel() const { return depth_ == 32; }

  // Composes what lies beneath in the server and reads it back. False when it could not.
  bool capture(const BeneathScene& scene, const RootBackground& background);
  render::ConstPixelBuffer beneath() const { return beneath_.constBuffer(); }
  // Composes and reads back only `areas` (overlay pixels), where what lies beneath changed
  // since the last capture.
  bool captureAreas(const BeneathScene& scene, const RootBackground& background,
                    std::span<const render::PixelRect> areas);
  // Gives the captured pixels back while nothing needs them; the next capture is whole.
  void releaseBeneath() {
    beneath_.release();
    scratch_.release();
  }
  bool hasBeneath() const { return beneath_.allocated(); }

  // The pixels to show, safe to write to once this returns: it waits for the server to finish
  // reading the last frame, which costs less than the memory of a second image.
  render::PixelBuffer output();
  void present();
  // The last frame's pixels, to be rewritten in part and put with presentAreas; none before
  // a first frame.
  render::PixelBuffer lastOutput();
  void presentAreas(std::span<const render::PixelRect> areas);
  // Shows the last frame again, after part of the window was uncovered.
  void presentAgain();
  void writeCompleted(xcb_shm_seg_t segment);

  // A hidden window gives its images back, and its next frame is captured and rendered whole.
  // Without a compositor it is also shaped away: an empty bounding shape shows nothing and costs
  // the server nothing. A compositor hides it by its opacity alone, as marco at times stops
  // drawing a translucent window for good once it has been shaped away and back.
  void setHidden(bool hidden, bool shapeAway);
  bool hidden() const { return hidden_; }

 private:
  const PaintConnection& connection_;
  xcb_window_t window_;
  QRect rect_;
  std::uint8_t depth_ = 32;
  xcb_gcontext_t gc_ = XCB_NONE;
  xcb_pixmap_t canvas_ = XCB_NONE;
  xcb_render_picture_t canvasPicture_ = XCB_NONE;
  ShmImage beneath_;
  ShmImage scratch_;
  ShmImage output_;
  bool shown_ = false;
  bool hidden_ = false;
  bool shapedAway_ = false;
};

}  // namespace platform::x11
