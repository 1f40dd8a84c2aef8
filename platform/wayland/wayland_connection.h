#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/geometry.h"
#include "platform/wayland/wayland_output.h"

class QSocketNotifier;
struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wp_viewporter;
struct zwlr_layer_shell_v1;
struct org_kde_kwin_blur_manager;
struct zwlr_screencopy_manager_v1;
struct zxdg_output_manager_v1;

namespace platform::wayland {

class WaylandSeat;

// Our own connection to the compositor, watched on the event loop: the globals the overlays
// need and one record per output. Events are read and dispatched as they arrive and requests
// flushed before the loop sleeps. A broken connection is reported once, through
// connectionLost; the objects are then no longer usable.
class WaylandConnection final : public QObject {
  Q_OBJECT

 public:
  explicit WaylandConnection(QObject* parent = nullptr);
  ~WaylandConnection() override;
  WaylandConnection(const WaylandConnection&) = delete;
  WaylandConnection& operator=(const WaylandConnection&) = delete;

  // Whether the connection stands and offers layer-shell, wl_compositor and wl_shm.
  bool usable() const;
  wl_display* display() const { return display_; }
  wl_compositor* compositor() const { return compositor_; }
  wl_shm* shm() const { return shm_; }
  wp_viewporter* viewporter() const { return viewporter_; }
  zwlr_layer_shell_v1* layerShell() const { return layerShell_; }
  // Whether the compositor is KWin (sway, too, offers some of KDE's protocols, so the backend
  // tells, from who owns KWin's bus name).
  bool isKWin() const { return isKWin_; }
  void setKWin(bool isKWin) { isKWin_ = isKWin; }
  // KWin's blur behind surfaces; null where the compositor has none or its effect is unloaded.
  org_kde_kwin_blur_manager* blurManager() const { return blurManager_; }
  // The compositor's screen copying, for the pixels beneath the overlays; null where it is not
  // offered, which leaves the connection usable.
  zwlr_screencopy_manager_v1* screencopyManager() const { return screencopyManager_; }
  // The first seat's pointer and keyboard, for our own surfaces; null without a seat.
  WaylandSeat* seat() const { return seat_.get(); }

  // The described outputs, in the order the compositor announced them.
  const std::vector<std::unique_ptr<WaylandOutput>>& outputs() const { return outputs_; }
  // The described outputs' frames in global points, in the order the compositor announced them.
  std::vector<Rect> screenFrames() const;
  // The output a window frame covers, or null.
  const WaylandOutput* outputForFrame(const Rect& frame) const;

  // Sends what is queued; a failure counts as a lost connection.
  void flush();

  // The registry's events (called from its listener).
  void announce(wl_registry* registry, std::uint32_t name, const char* interface,
                std::uint32_t version);
  void withdraw(std::uint32_t name);

 signals:
  void connectionLost();
  // The output is about to be destroyed; surfaces on it must go first.
  void outputRemoved(const platform::wayland::WaylandOutput* output);
  // KWin's blur came or went (its effect was loaded or unloaded).
  void blurManagerChanged();
  // The connection is about to close: every object made on it must be destroyed now.
  void disconnecting();
  // One of our own surfaces above the overlays (the panel, the menu) appeared or went away:
  // a capture of the output taken before no longer shows what is there.
  void ownSurfacesChanged();

 private:
  void watchXdgOutput(WaylandOutput& output);
  static void destroyOutput(WaylandOutput& output);
  std::vector<OutputPlacement> placements() const;
  void readEvents();
  void fail();

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_compositor* compositor_ = nullptr;
  wl_shm* shm_ = nullptr;
  wp_viewporter* viewporter_ = nullptr;
  zwlr_layer_shell_v1* layerShell_ = nullptr;
  org_kde_kwin_blur_manager* blurManager_ = nullptr;
  bool isKWin_ = false;
  std::uint32_t blurManagerName_ = 0;
  zwlr_screencopy_manager_v1* screencopyManager_ = nullptr;
  zxdg_output_manager_v1* xdgOutputManager_ = nullptr;
  std::unique_ptr<WaylandSeat> seat_;
  std::vector<std::unique_ptr<WaylandOutput>> outputs_;
  QSocketNotifier* notifier_ = nullptr;
  bool lost_ = false;
};

}  // namespace platform::wayland
