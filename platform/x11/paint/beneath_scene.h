#pragma once

#include <xcb/damage.h>
#include <xcb/render.h>
#include <xcb/xcb.h>

#include <QRect>
#include <optional>
#include <span>
#include <vector>

#include "platform/x11/paint/paint_connection.h"
#include "platform/x11/paint/root_background.h"

namespace platform::x11 {

// Where an overlay window stands, in root pixels.
struct OverlayPlace {
  xcb_window_t window = XCB_NONE;
  QRect rect;
};

// What lies beneath each overlay: the mapped top-level windows stacked below it, read through
// Composite, and the wallpaper. Each window below is watched with Damage.
class BeneathScene final {
 public:
  explicit BeneathScene(const PaintConnection& connection) : connection_(connection) {}
  ~BeneathScene();
  BeneathScene(const BeneathScene&) = delete;
  BeneathScene& operator=(const BeneathScene&) = delete;

  // Reads the stacking order again (round trips) and readies the windows below each overlay,
  // redirecting them so that their pixmaps can be read.
  void refresh(std::span<const OverlayPlace> overlays);
  // Whether the last refresh changed what shows beneath the overlay. Changes of a window's
  // content without one in the stacking order arrive as Damage.
  bool changedBeneath(xcb_window_t overlay) const;
  void clear();

  // Draws what lies beneath the overlay into `target`, whose (0, 0) is the overlay's corner.
  void draw(xcb_window_t overlay, xcb_render_picture_t target,
            const RootBackground& background) const;

  // The root area a Damage event stands for: a rectangle newly damaged in a watched window.
  // Nothing for other events.
  std::optional<QRect> damagedArea(const xcb_damage_notify_event_t& event) const;
  // Each window reports each part of itself once and then stays quiet about it until this is
  // called: before every capture. Little flows while no overlay wants the pixels.
  void rearmDamage();

 private:
  struct Tracked {
    xcb_window_t window = XCB_NONE;
    QRect rect;  // with the border, root pixels
    std::uint8_t op = XCB_RENDER_PICT_OP_SRC;
    xcb_render_pictformat_t format = XCB_NONE;
    xcb_pixmap_t pixmap = XCB_NONE;
    xcb_render_picture_t picture = XCB_NONE;
    xcb_damage_damage_t damage = XCB_NONE;
    bool redirected = false;
    bool readable = false;
    bool needed = false;
  };
  struct Candidate {
    xcb_window_t window;
    QRect rect;
    PictureFormat format;
    std::ptrdiff_t position;  // in the root's stacking order, bottom first
  };
  struct Shown {
    xcb_window_t window;
    QRect rect;
    bool readable;
    friend bool operator==(const Shown&, const Shown&) = default;
  };
  struct Stack {
    xcb_window_t overlay = XCB_NONE;
    QRect rect;
    std::vector<std::size_t> windows;  // indices into tracked_, bottom first
    std::vector<Shown> shown;          // the same windows, to compare refreshes
    bool backgroundShows = true;
    bool changed = true;
  };

  std::vector<Candidate> readCandidates(std::span<const OverlayPlace> overlays,
                                        std::vector<std::ptrdiff_t>& overlayPositions) const;
  Tracked& track(const Candidate& candidate);
  void releasePicture(Tracked& tracked);
  void untrack(Tracked& tracked);
  void namePixmaps();

  const PaintConnection& connection_;
  std::vector<Tracked> tracked_;
  std::vector<Stack> stacks_;
};

}  // namespace platform::x11
