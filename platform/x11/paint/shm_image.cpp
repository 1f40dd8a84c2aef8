#include "platform/x11/paint/shm_image.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstring>

#include "platform/x11/xcb_reply.h"

namespace platform::x11 {

namespace {

std::size_t byteSize(int width, int height) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
}

}  // namespace

ShmImage::~ShmImage() {
  release();
}

void ShmImage::allocate(xcb_connection_t* connection, bool tryShm, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (connection == connection_ && width == width_ && height == height_ && pixels_ != nullptr) {
    return;
  }
  release();
  connection_ = connection;
  width_ = width;
  height_ = height;
  if (byteSize(width, height) == 0) return;
  if (!tryShm || !attachShm()) {
    heap_.assign(byteSize(width, height), 0);
    pixels_ = heap_.data();
  }
}

// A private segment, marked for removal as soon as the server holds it, so that it cannot
// outlive both of us.
bool ShmImage::attachShm() {
  const int id = shmget(IPC_PRIVATE, byteSize(width_, height_), IPC_CREAT | 0600);
  if (id < 0) return false;
  void* address = shmat(id, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  const xcb_shm_seg_t segment = xcb_generate_id(connection_);
  XcbReply<xcb_generic_error_t> error(xcb_request_check(
      connection_,
      xcb_shm_attach_checked(connection_, segment, static_cast<std::uint32_t>(id), 0)));
  shmctl(id, IPC_RMID, nullptr);
  if (error || xcb_connection_has_error(connection_)) {
    shmdt(address);
    return false;
  }
  segment_ = segment;
  shmAddress_ = address;
  pixels_ = static_cast<std::uint8_t*>(address);
  return true;
}

void ShmImage::release() {
  if (segment_ != XCB_NONE) {
    if (!xcb_connection_has_error(connection_)) {
      xcb_shm_detach(connection_, segment_);
      // The segment must stay mapped until the server has let go of it.
      XcbReply<xcb_get_input_focus_reply_t> sync(
          xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }
    shmdt(shmAddress_);
  }
  segment_ = XCB_NONE;
  shmAddress_ = nullptr;
  heap_.clear();
  heap_.shrink_to_fit();
  pixels_ = nullptr;
  writePending_ = false;
}

render::PixelBuffer ShmImage::buffer() {
  return {pixels_, width_, height_, static_cast<std::ptrdiff_t>(width_) * 4};
}

render::ConstPixelBuffer ShmImage::constBuffer() const {
  return {pixels_, width_, height_, static_cast<std::ptrdiff_t>(width_) * 4, false};
}

bool ShmImage::read(xcb_drawable_t drawable) {
  return readRows(drawable, 0, height_);
}

bool ShmImage::readRows(xcb_drawable_t drawable, int top, int bottom) {
  top = std::max(top, 0);
  bottom = std::min(bottom, height_);
  if (pixels_ == nullptr || bottom <= top) return false;
  const auto width = static_cast<std::uint16_t>(width_);
  const auto rows = static_cast<std::uint16_t>(bottom - top);
  const std::size_t offset = byteSize(width_, top);
  xcb_generic_error_t* rawError = nullptr;
  if (sharesMemory()) {
    XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        connection_,
        xcb_shm_get_image(connection_, drawable, 0, static_cast<std::int16_t>(top), width, rows,
                          ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment_,
                          static_cast<std::uint32_t>(offset)),
        &rawError));
    XcbReply<xcb_generic_error_t> error(rawError);
    writePending_ = false;  // the reply came after every earlier request
    return reply != nullptr;
  }
  XcbReply<xcb_get_image_reply_t> reply(
      xcb_get_image_reply(connection_,
                          xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, 0,
                                        static_cast<std::int16_t>(top), width, rows, ~0u),
                          &rawError));
  XcbReply<xcb_generic_error_t> error(rawError);
  if (!reply) return false;
  const auto length = static_cast<std::size_t>(xcb_get_image_data_length(reply.get()));
  std::memcpy(pixels_ + offset, xcb_get_image_data(reply.get()),
              std::min(length, byteSize(width_, bottom - top)));
  return true;
}

bool ShmImage::readArea(xcb_drawable_t drawable, const render::PixelRect& wanted,
                        ShmImage& scratch) {
  const render::PixelRect area = render::intersect(wanted, {0, 0, width_, height_});
  if (pixels_ == nullptr || area.empty()) return false;
  // Past half the width whole rows cost the server little more and need no copy here.
  if (sharesMemory() && (area.width() * 2 > width_ || !scratch.sharesMemory())) {
    return readRows(drawable, int(area.y0), int(area.y1));
  }
  const auto width = static_cast<std::uint16_t>(area.width());
  const std::size_t rowBytes = std::size_t(width) * 4;
  const std::size_t scratchBytes = byteSize(scratch.width_, scratch.height_);
  const int rowsPerStrip = sharesMemory() ? int(scratchBytes / rowBytes) : int(area.height());
  if (rowsPerStrip <= 0) return readRows(drawable, int(area.y0), int(area.y1));
  for (auto y = int(area.y0); y < area.y1; y += rowsPerStrip) {
    const auto rows = static_cast<std::uint16_t>(std::min(rowsPerStrip, int(area.y1) - y));
    const std::uint8_t* source = nullptr;
    std::size_t length = 0;
    xcb_generic_error_t* rawError = nullptr;
    XcbReply<xcb_shm_get_image_reply_t> shmReply;
    XcbReply<xcb_get_image_reply_t> reply;
    if (sharesMemory()) {
      shmReply.reset(xcb_shm_get_image_reply(
          connection_,
          xcb_shm_get_image(connection_, drawable, static_cast<std::int16_t>(area.x0),
                            static_cast<std::int16_t>(y), width, rows, ~0u,
                            XCB_IMAGE_FORMAT_Z_PIXMAP, scratch.segment_, 0),
          &rawError));
      source = scratch.pixels_;
      length = shmReply ? rowBytes * rows : 0;
    } else {
      reply.reset(xcb_get_image_reply(connection_,
                                      xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP,
                                                    drawable, static_cast<std::int16_t>(area.x0),
                                                    static_cast<std::int16_t>(y), width, rows, ~0u),
                                      &rawError));
      if (reply) {
        source = xcb_get_image_data(reply.get());
        length = static_cast<std::size_t>(xcb_get_image_data_length(reply.get()));
      }
    }
    XcbReply<xcb_generic_error_t> error(rawError);
    if (length < rowBytes * rows) return false;
    for (int row = 0; row < rows; ++row) {
      std::memcpy(pixels_ + byteSize(width_, y + row) + std::size_t(area.x0) * 4,
                  source + rowBytes * std::size_t(row), rowBytes);
    }
  }
  return true;
}

void ShmImage::write(xcb_drawable_t drawable, xcb_gcontext_t gc, std::uint8_t depth) {
  writeArea(drawable, gc, depth, {0, 0, width_, height_});
}

void ShmImage::writeArea(xcb_drawable_t drawable, xcb_gcontext_t gc, std::uint8_t depth,
                         const render::PixelRect& wanted) {
  const render::PixelRect area = render::intersect(wanted, {0, 0, width_, height_});
  if (pixels_ == nullptr || area.empty()) return;
  const auto width = static_cast<std::uint16_t>(width_);
  const auto height = static_cast<std::uint16_t>(height_);
  if (sharesMemory()) {
    xcb_shm_put_image(connection_, drawable, gc, width, height, static_cast<std::uint16_t>(area.x0),
                      static_cast<std::uint16_t>(area.y0), static_cast<std::uint16_t>(area.width()),
                      static_cast<std::uint16_t>(area.height()), static_cast<std::int16_t>(area.x0),
                      static_cast<std::int16_t>(area.y0), depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 1,
                      segment_, 0);
    writePending_ = true;
    return;
  }
  // Without shared memory whole rows go, in strips that fit the largest request.
  const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
  const std::size_t maxBytes =
      static_cast<std::size_t>(xcb_get_maximum_request_length(connection_)) * 4 - 64;
  const int rowsPerStrip = static_cast<int>(std::max<std::size_t>(1, maxBytes / rowBytes));
  for (auto y = int(area.y0); y < area.y1; y += rowsPerStrip) {
    const int rows = std::min(rowsPerStrip, int(area.y1) - y);
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, gc, width,
                  static_cast<std::uint16_t>(rows), 0, static_cast<std::int16_t>(y), 0, depth,
                  static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(rows)),
                  pixels_ + rowBytes * static_cast<std::size_t>(y));
  }
}

void ShmImage::waitForWrites() {
  if (!writePending_) return;
  XcbReply<xcb_get_input_focus_reply_t> sync(
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  writePending_ = false;
}

}  // namespace platform::x11
