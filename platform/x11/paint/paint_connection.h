#pragma once

#include <xcb/render.h>
#include <xcb/xcb.h>

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform::x11 {

// A picture format the painter can read from or draw into, and whether it carries alpha.
struct PictureFormat {
  xcb_render_pictformat_t id = XCB_NONE;
  bool hasAlpha = false;
};

// The painter's own X connection with the extensions, atoms and picture formats it needs.
// Everything here is read once at start-up.
class PaintConnection final {
 public:
  explicit PaintConnection(const QByteArray& displayName);
  ~PaintConnection();
  PaintConnection(const PaintConnection&) = delete;
  PaintConnection& operator=(const PaintConnection&) = delete;

  // Connected to a little-endian server with Composite 0.2, Damage, XFixes, Render and Shape.
  bool usable() const { return usable_; }
  bool broken() const { return connection_ == nullptr || xcb_connection_has_error(connection_); }
  bool hasShm() const { return hasShm_; }

  xcb_connection_t* get() const { return connection_; }
  xcb_window_t root() const { return root_; }
  xcb_visualid_t rootVisual() const { return rootVisual_; }
  int screenNumber() const { return screenNumber_; }
  // The server's first Damage event code.
  std::uint8_t damageEventBase() const { return damageEventBase_; }
  std::uint8_t xfixesEventBase() const { return xfixesEventBase_; }
  std::uint8_t shmEventBase() const { return shmEventBase_; }

  xcb_atom_t compositorSelection() const { return compositorSelection_; }
  xcb_atom_t rootPixmapAtom() const { return rootPixmapAtom_; }
  xcb_atom_t setRootPixmapAtom() const { return setRootPixmapAtom_; }
  xcb_atom_t opacityAtom() const { return opacityAtom_; }

  PictureFormat argb32() const { return argb32_; }
  // The format of pixels in a window of this visual, or of a drawable of this depth.
  std::optional<PictureFormat> formatForVisual(xcb_visualid_t visual) const;
  std::optional<PictureFormat> formatForDepth(std::uint8_t depth) const;

  // Whether a client owns the compositing-manager selection of this screen (a round trip).
  bool queryCompositorOwner() const;

 private:
  struct VisualFormat {
    xcb_visualid_t visual;
    PictureFormat format;
  };

  void initExtensions();
  void initAtoms();
  void initPictureFormats();

  xcb_connection_t* connection_ = nullptr;
  int screenNumber_ = 0;
  xcb_window_t root_ = XCB_NONE;
  xcb_visualid_t rootVisual_ = XCB_NONE;
  bool usable_ = false;
  bool hasShm_ = false;
  std::uint8_t damageEventBase_ = 0;
  std::uint8_t xfixesEventBase_ = 0;
  std::uint8_t shmEventBase_ = 0;
  xcb_atom_t compositorSelection_ = XCB_NONE;
  xcb_atom_t rootPixmapAtom_ = XCB_NONE;
  xcb_atom_t setRootPixmapAtom_ = XCB_NONE;
  xcb_atom_t opacityAtom_ = XCB_NONE;
  PictureFormat argb32_;
  PictureFormat rgb24_;
  std::vector<VisualFormat> visualFormats_;
};

}  // namespace platform::x11
