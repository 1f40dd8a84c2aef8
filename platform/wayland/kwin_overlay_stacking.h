#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

#include "platform/workspace.h"

struct wl_callback;

namespace platform::wayland {

class KWinScriptClient;
class WaylandConnection;

// Where the overlays stand on KWin: on layer-shell's bottom layer at level -1, on its top
// layer (KWin's layer of keep-above windows) above it, with the frontmost application's
// keep-above windows raised above them. KWin 5.27 places a layer surface in its new layer only
// when a script nudges it, so each move of the surfaces is followed by one run of the stacking
// script, once KWin has taken the surfaces' commits. At most one run is on its way and one
// starts per interval: moves that come meanwhile fold into the next run, which does only what
// the last of them asks, and nothing when that is where the overlays stand.
class KWinOverlayStacking final : public QObject {
 public:
  KWinOverlayStacking(WaylandConnection& connection, KWinScriptClient& script, ProcessId ownPid,
                      QObject* parent = nullptr);
  ~KWinOverlayStacking() override;
  KWinOverlayStacking(const KWinOverlayStacking&) = delete;
  KWinOverlayStacking& operator=(const KWinOverlayStacking&) = delete;

  // The overlays' surfaces were moved to the top layer (`up`) or back to the bottom one.
  void overlaysMoved(bool up);
  // A surface on the top layer was mapped: KWin placed it itself, above the windows that the
  // last run raised, so they are raised again.
  void overlayMapped();

  // The wl_display.sync's answer (called from its listener).
  void synced();

 private:
  void sync();
  void tell();
  void dropSync();

  WaylandConnection& connection_;
  KWinScriptClient& script_;
  ProcessId ownPid_;
  bool wanted_ = false;  // up
  bool told_ = false;    // where the last run, taken or refused, put the overlays
  bool again_ = false;   // a run is due even where the overlays stand already
  wl_callback* syncing_ = nullptr;
  bool running_ = false;
  QTimer interval_;
  std::chrono::steady_clock::time_point lastRun_{};
};

}  // namespace platform::wayland
