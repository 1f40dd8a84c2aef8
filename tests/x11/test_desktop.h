#pragma once

#include <xcb/xcb.h>

#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

#include "private_display.h"

namespace quillmere::test {

// A client on a private display, as another application would be: it makes the windows that
// the backend lists and the painter works over, and reads back what the screen shows.
class TestDesktop final {
 public:
  explicit TestDesktop(const std::string& displayName);
  ~TestDesktop();
  TestDesktop(const TestDesktop&) = delete;
  TestDesktop& operator=(const TestDesktop&) = delete;

  bool connected() const;

  // An overlay as the backend makes it: 32-bit ARGB, override-redirect, empty input shape,
  // mapped on top.
  xcb_window_t createOverlay(QRect rect);
  // A plain opaque window filled with a colour (0xRRGGBB), mapped on top unless told otherwise;
  // a managed one goes to the window manager, which puts it in a frame of its own.
  xcb_window_t createWindow(QRect rect, std::uint32_t rgb, bool managed = false,
                            bool mapped = true);
  // Whether the window sits in a frame of the window manager's.
  bool framed(xcb_window_t window);
  void setColor(xcb_window_t window, std::uint32_t rgb);
  // Fills a rectangle of the window with a colour, as a program drawing into it would.
  void fill(xcb_window_t window, QRect rect, std::uint32_t rgb);
  void lower(xcb_window_t window);
  void destroy(xcb_window_t window);
  // Writes the values into a property of the window (or the root) in the given format.
  void setProperty(xcb_window_t window, const std::string& name, xcb_atom_t type,
                   std::uint8_t format, const std::vector<std::uint32_t>& values);
  void setAtoms(xcb_window_t window, const std::string& name,
                const std::vector<std::string>& atoms);
  xcb_atom_t atom(const std::string& name);
  xcb_window_t root() const { return root_; }

  // Maps the window, also once more: a window manager still starting may let a request go.
  void map(xcb_window_t window);
  // The viewable override-redirect children of the root: the overlays, menus and panels of
  // other clients.
  std::vector<QRect> unmanaged();

  // The screen's pixels as 0xRRGGBB, row by row.
  std::vector<std::uint32_t> screen(QRect rect);
  std::uint32_t pixel(int x, int y);

 private:
  xcb_window_t create(QRect rect, std::uint8_t depth, xcb_visualid_t visual, std::uint32_t mask,
                      const std::uint32_t* values);

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = XCB_NONE;
  xcb_visualid_t argbVisual_ = XCB_NONE;
};

// Starts openbox on the display and waits until it manages windows; false when it does not
// within 30 seconds.
bool startWindowManager(PrivateDisplay& display);

}  // namespace quillmere::test
