#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/workspace.h"
#include "platform/x11/atoms.h"
#include "platform/x11/overlay_restacker.h"
#include "platform/x11/screen_geometry.h"
#include "platform/x11/window_stack.h"

class QSocketNotifier;

namespace platform::x11 {

// The desktop as the window list, the frontmost application and the overlays' stacking see it,
// on a connection of its own; the overlays' restacking works on this state. A cache that X events
// keep current holds the top-level windows, their stacking order and the properties the list needs,
// so that a query that finds nothing changed costs no round trip to the server.
class WindowServer final : public QObject {
  Q_OBJECT

 public:
  // Connects to the display named in $DISPLAY; isConnected() is false when that fails.
  explicit WindowServer(QObject* parent = nullptr);
  ~WindowServer() override;
  WindowServer(const WindowServer&) = delete;
  WindowServer& operator=(const WindowServer&) = delete;

  bool isConnected() const;
  xcb_connection_t* connection() const { return connection_; }
  xcb_screen_t* screen() const { return screen_; }
  int screenNumber() const { return screenNumber_; }
  const Atoms& atoms() const { return atoms_; }

  // The on-screen windows, front to back, from the cache.
  std::shared_ptr<const WindowInfoList> windowList(bool excludeDesktopElements);
  // The process that owns the active window, or -1 for the desktop. Read from the same state
  // as the window list, so that an active window and a stack that changed apart never mix.
  ProcessId frontmostProcessId();
  bool windowManagerRunning() const { return windowManagerRunning_; }
  // Whether the overlays must be windows that the window manager manages: its compositor
  // paints unmanaged windows above every managed one, wherever they stand in the X stack.
  bool overlaysMustBeManaged() const { return overlaysMustBeManaged_; }
  // The monitors in root pixels; a window that lies on none of them cannot be seen. None at
  // all stands for the root's whole area.
  void setMonitors(std::vector<PixelRect> monitors);

  // Our own overlays: a window created on this connection, and how to read its state.
  void addOverlay(xcb_window_t window, std::function<OverlayState()> state, bool managed = false);
  void removeOverlay(xcb_window_t window);
  // The overlay's level or visibility changed: put it where its level wants it, at once, or
  // when called from an observer of this server, once every observer has been told.
  void overlayDidChange(xcb_window_t window);
  // The overlay's alpha changed: only the list's record of it differs.
  void overlayAlphaDidChange();
  // The overlays' restacking, read by tests and benchmarks.
  const OverlayRestacker& restacker() const { return *restacker_; }

  // Returns once the server has carried out every request sent on this connection so far; the
  // events that came meanwhile are in the cache's dirty marks.
  void waitForServer();

  // The sequence number of the next request on this connection (for counting requests).
  std::uint32_t nextRequestSequence();

 signals:
  void frontmostApplicationChanged();
  void currentDesktopChanged();
  // Windows were mapped, unmapped or restacked.
  void stackingChanged();
  void connectionLost();

 private:
  struct TopLevel {
    bool attributesKnown = false;
    bool geometryKnown = false;
    bool mapped = false;
    bool overrideRedirect = false;
    bool inputOnly = false;
    PixelRect geometry;  // border included
  };
  struct Client;

  void readEvents();
  void handleEvent(const xcb_generic_event_t* event);
  void handleRootProperty(xcb_atom_t atom);
  void settle();
  // Reads what the events marked as changed; true when the list or the order changed.
  bool refresh();
  void resyncStack();
  void readWindowManager();
  void readClientList();
  void readTopLevelAttributes();
  void readClientProperties();
  void readActiveWindow();
  void readCurrentDesktop();
  void setFrontmost(ProcessId pid);
  std::optional<ProcessId> processIdOf(xcb_window_t window);
  // The window whose properties describe this top-level, or none.
  xcb_window_t propertyWindowOf(xcb_window_t topLevel) const;
  // The overlay that is this root child or that its frame holds, or none.
  xcb_window_t overlayOf(xcb_window_t topLevel) const;
  void rebuildList();
  void restackOverlays();
  bool anythingDirty() const;
  // Mapped, drawn and on a monitor: only such windows take part in the levels.
  bool canBeSeen(const TopLevel& top) const;
  // Whether the event came before the last snapshot of the stack, which holds its change.
  bool predatesStackSnapshot(const xcb_generic_event_t* event) const;

  xcb_connection_t* connection_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
  xcb_window_t root_ = XCB_NONE;
  int screenNumber_ = 0;
  Atoms atoms_;
  ProcessId ownPid_ = 0;
  QSocketNotifier* notifier_ = nullptr;
  QTimer activeZeroTimer_;
  std::unique_ptr<OverlayRestacker> restacker_;

  WindowStack stack_;
  std::unordered_map<xcb_window_t, TopLevel> topLevels_;
  std::unordered_map<xcb_window_t, std::unique_ptr<Client>> clients_;
  std::unordered_map<xcb_window_t, xcb_window_t> clientOfFrame_;
  std::vector<PixelRect> monitors_;
  std::optional<std::uint16_t> stackSnapshotSequence_;
  bool windowManagerRunning_ = false;
  bool overlaysMustBeManaged_ = false;
  // The time of the last property change seen, the server's clock as far as we know it.
  xcb_timestamp_t lastServerTime_ = XCB_CURRENT_TIME;
  std::optional<std::uint32_t> currentDesktop_;
  xcb_window_t activeWindow_ = XCB_NONE;
  ProcessId frontmostPid_ = -1;

  // What the events said has changed since the last refresh.
  bool stackDirty_ = true;
  bool windowManagerDirty_ = true;
  bool clientListDirty_ = true;
  bool activeDirty_ = true;
  bool desktopDirty_ = true;
  bool membersDirty_ = true;
  bool orderChanged_ = true;
  bool listValid_ = false;
  bool settling_ = false;
  bool notifying_ = false;  // a settle is telling the observers what changed
  bool pendingActivation_ = false;
  bool pendingSpaceChange_ = false;

  std::vector<StackEntry> entries_;
  std::shared_ptr<const WindowInfoList> list_;
  std::shared_ptr<const WindowInfoList> listWithoutDesktop_;
};

}  // namespace platform::x11
