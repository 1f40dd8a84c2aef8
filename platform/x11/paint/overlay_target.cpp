#include "platform/x11/paint/overlay_target.h"

#include <xcb/shape.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/x11/xcb_reply.h"

namespace platform::x11 {

namespace {

// The scratch image for narrow reads: 1 MiB, a 256x256 change with a blur's reach in one go.
constexpr int kScratchSide = 512;

}  // namespace

OverlayTarget::OverlayTarget(const PaintConnection& connection, xcb_window_t window, QRect rect)
    : connection_(connection), window_(window), rect_(rect) {
  xcb_connection_t* c = connection.get();
  const auto geometryCookie = xcb_get_geometry(c, window);
  const auto shapeCookie = xcb_shape_query_extents(c, window);
  XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, nullptr));
  if (geometry) depth_ = geometry->depth;
  // A window handed over again keeps the shape that an earlier painter left on it.
  XcbReply<xcb_shape_query_extents_reply_t> shape(
      xcb_shape_query_extents_reply(c, shapeCookie, nullptr));
  hidden_ = shapedAway_ =
      shape && shape->bounding_shaped &&
      (shape->bounding_shape_extents_width == 0 || shape->bounding_shape_extents_height == 0);

  const std::uint32_t noExposures = 0;
  gc_ = xcb_generate_id(c);
  xcb_create_gc(c, gc_, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
  canvas_ = xcb_generate_id(c);
  xcb_create_pixmap(c, 32, canvas_, connection.root(), static_cast<std::uint16_t>(rect.width()),
                    static_cast<std::uint16_t>(rect.height()));
  canvasPicture_ = xcb_generate_id(c);
  xcb_render_create_picture(c, canvasPicture_, canvas_, connection.argb32().id, 0, nullptr);
  // Repaint after another window uncovered part of the overlay.
  const std::uint32_t events = XCB_EVENT_MASK_EXPOSURE;
  xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &events);
}

OverlayTarget::~OverlayTarget() {
  if (connection_.broken()) return;
  xcb_connection_t* c = connection_.get();
  const std::uint32_t noEvents = 0;
  xcb_change_window_attributes(c, window_, XCB_CW_EVENT_MASK, &noEvents);
  xcb_render_free_picture(c, canvasPicture_);
  xcb_free_pixmap(c, canvas_);
  xcb_free_gc(c, gc_);
}

bool OverlayTarget::capture(const BeneathScene& scene, const RootBackground& background) {
  // Made on first use: with a compositor, dim never needs what lies beneath.
  beneath_.allocate(connection_.get(), connection_.hasShm(), rect_.width(), rect_.height());
  scene.draw(window_, canvasPicture_, background);
  return beneath_.read(canvas_);
}

bool OverlayTarget::captureAreas(const BeneathScene& scene, const RootBackground& background,
                                 std::span<const render::PixelRect> areas) {
  xcb_connection_t* c = connection_.get();
  std::vector<xcb_rectangle_t> clip;
  std::vector<render::PixelRect> reads;
  for (const render::PixelRect& wanted : areas) {
    const render::PixelRect area = render::intersect(wanted, {0, 0, rect_.width(), rect_.height()});
    if (area.empty()) continue;
    clip.push_back({static_cast<std::int16_t>(area.x0), static_cast<std::int16_t>(area.y0),
                    static_cast<std::uint16_t>(area.width()),
                    static_cast<std::uint16_t>(area.height())});
    reads.push_back(area);
  }
  if (clip.empty()) return true;
  xcb_render_set_picture_clip_rectangles(c, canvasPicture_, 0, 0,
                                         static_cast<std::uint32_t>(clip.size()), clip.data());
  scene.draw(window_, canvasPicture_, background);
  const std::uint32_t noClip = XCB_NONE;
  xcb_render_change_picture(c, canvasPicture_, XCB_RENDER_CP_CLIP_MASK, &noClip);
  if (connection_.hasShm()) scratch_.allocate(c, true, kScratchSide, kScratchSide);
  // Areas that share rows are read once, as the rectangle around them.
  std::sort(reads.begin(), reads.end(),
            [](const render::PixelRect& a, const render::PixelRect& b) { return a.y0 < b.y0; });
  bool read = true;
  for (std::size_t i = 0; i < reads.size();) {
    render::PixelRect band = reads[i];
    for (++i; i < reads.size() && reads[i].y0 < band.y1; ++i) {
      band = {std::min(band.x0, reads[i].x0), band.y0, std::max(band.x1, reads[i].x1),
              std::max(band.y1, reads[i].y1)};
    }
    read = beneath_.readArea(canvas_, band, scratch_) && read;
  }
  return read;
}

render::PixelBuffer OverlayTarget::lastOutput() {
  if (!shown_) return {};
  output_.waitForWrites();
  return output_.buffer();
}

void OverlayTarget::presentAreas(std::span<const render::PixelRect> areas) {
  for (const render::PixelRect& area : areas) output_.writeArea(window_, gc_, depth_, area);
}

render::PixelBuffer OverlayTarget::output() {
  output_.allocate(connection_.get(), connection_.hasShm(), rect_.width(), rect_.height());
  output_.waitForWrites();
  return output_.buffer();
}

void OverlayTarget::present() {
  output_.write(window_, gc_, depth_);
  shown_ = true;
}

void OverlayTarget::presentAgain() {
  if (shown_ && !hidden_) output_.write(window_, gc_, depth_);
}

void OverlayTarget::writeCompleted(xcb_shm_seg_t segment) {
  if (output_.sharesMemory() && output_.segment() == segment) output_.writeCompleted();
}

void OverlayTarget::setHidden(bool hidden, bool shapeAway) {
  const bool away = hidden && shapeAway;
  if (away != shapedAway_) {
    shapedAway_ = away;
    xcb_connection_t* c = connection_.get();
    if (away) {
      xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED,
                           window_, 0, 0, 0, nullptr);
    } else {
      // No mask restores the window's own rectangle; the input shape stays empty.
      xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window_, 0, 0, XCB_NONE);
    }
  }
  if (hidden == hidden_) return;
  hidden_ = hidden;
  if (hidden) {
    releaseBeneath();
    output_.release();
    shown_ = false;
  }
}

}  // namespace platform::x11
