#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

#include "platform/render/effect_renderer.h"

namespace platform::x11 {

// A 32-bit image the size of an overlay that the server reads and writes directly when it
// shares memory with us (MIT-SHM), and through the socket otherwise.
class ShmImage final {
 public:
  ShmImage() = default;
  ~ShmImage();
  ShmImage(const ShmImage&) = delete;
  ShmImage& operator=(const ShmImage&) = delete;

  // Keeps the pixels for the same size; otherwise replaces them with zeroed ones.
  void allocate(xcb_connection_t* connection, bool tryShm, int width, int height);
  bool allocated() const { return pixels_ != nullptr; }
  bool sharesMemory() const { return segment_ != XCB_NONE; }

  render::PixelBuffer buffer();
  render::ConstPixelBuffer constBuffer() const;

  // Reads the drawable's pixels from (0, 0); false when the server refused (it went away).
  bool read(xcb_drawable_t drawable);
  // Reads rows [top, bottom) of the drawable into the same rows.
  bool readRows(xcb_drawable_t drawable, int top, int bottom);
  // Reads `area` of the drawable into the same place. A narrow one goes through `scratch` when
  // memory is shared, in strips of its size, so that the server copies no more than asked.
  bool readArea(xcb_drawable_t drawable, const render::PixelRect& area, ShmImage& scratch);
  // Writes the pixels to the drawable at (0, 0).
  void write(xcb_drawable_t drawable, xcb_gcontext_t gc, std::uint8_t depth);
  // Writes the pixels of `area` to the same place in the drawable.
  void writeArea(xcb_drawable_t drawable, xcb_gcontext_t gc, std::uint8_t depth,
                 const render::PixelRect& area);
  // The server reads shared pixels after write() returns, and says when it is done with a
  // completion event; wait for that before changing them.
  bool writePending() const { return writePending_; }
  xcb_shm_seg_t segment() const { return segment_; }
  void writeCompleted() { writePending_ = false; }
  void waitForWrites();
  // Gives the pixels back; allocate() makes new ones.
  void release();

 private:
  bool attachShm();

  xcb_connection_t* connection_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::uint8_t* pixels_ = nullptr;
  xcb_shm_seg_t segment_ = XCB_NONE;
  void* shmAddress_ = nullptr;
  std::vector<std::uint8_t> heap_;
  bool writePending_ = false;
};

}  // namespace platform::x11
