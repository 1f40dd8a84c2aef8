#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/alert.h"
#include "platform/event.h"
#include "platform/event_dispatch.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "platform/menu.h"
#include "platform/window.h"
#include "platform/workspace.h"

namespace platform {

using TimerId = std::uint64_t;

// What a backend provides. The platform's object types call into the installed backend; the
// core never talks to it directly. Every operation copes with the thing it needs being absent.
// The observers and monitors are kept here for every backend, which reports to them through
// eventDispatch().
class Platform {
 public:
  virtual ~Platform() = default;

  // --- Application -------------------------------------------------------------------------
  // Runs the loop until terminate(), calling didFinishLaunching inside it first; headless, no loop.
  virtual void runEventLoop(const std::function<void()>& didFinishLaunching) = 0;
  // Ends the event loop and so the application; outside a running loop it does nothing.
  virtual void terminate() = 0;
  // Keeps the application out of task lists and alive without windows; every backend grants it.
  virtual bool setActivationPolicy(ApplicationActivationPolicy policy) = 0;
  // Shows the image as the application's icon; an image without a file changes nothing.
  virtual void setApplicationIconImage(const Image& image) = 0;
  // The path of a readable bundled resource; empty when it is missing or its name is not plain.
  virtual std::optional<std::string> pathForResource(std::string_view name,
                                                     std::string_view type) = 0;
  // Whether the file exists and reads as an image; false for a missing file.
  virtual bool canReadImageFile(const std::string& path) = 0;
  // Whether the status item draws the named symbol itself; false for others, or with no shell.
  virtual bool hasSystemSymbol(const std::string& name) = 0;
  // Writes one line, with its line feed, to standard output at once; a closed reader loses it.
  virtual void writeStandardOutputLine(std::string_view line) = 0;

  // --- Screens and windows -----------------------------------------------------------------
  // Every attached screen's frame in global points; empty without screens, and under XWayland.
  virtual std::vector<Rect> screenFrames() = 0;
  // The backend's side of a new window, told of its every change; never null, shown only if able.
  virtual std::unique_ptr<WindowPeer> createWindowPeer(Window& window) = 0;

  // --- Workspace and window server ---------------------------------------------------------
  // The owner of the active window; without one, or its owner unknown, none (X11: pid -1).
  virtual std::optional<RunningApplication> frontmostApplication() = 0;
  // Runs the observer on the main thread each time the backend posts the notification.
  virtual void addWorkspaceObserver(WorkspaceNotification name, std::function<void()> observer);
  // Hands the URL to the desktop's opener; false when it is empty, starts with '-', or none runs.
  virtual bool openURL(const URL& url) = 0;
  // Where the user learns how to grant the permission; empty where the backend knows none.
  virtual URL accessibilitySettingsURL() = 0;
  // The on-screen windows, front to back, or null (or empty) when the window server gives none.
  virtual std::shared_ptr<const WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                               std::int64_t relativeToWindow) = 0;
  // The level the key stands for: 0, the normal level, on every backend.
  virtual std::int32_t windowLevelForKey(WindowLevelKey key) = 0;

  // --- Input and time ----------------------------------------------------------------------
  // The pointer in global points; the origin where it cannot be seen (Wayland, nothing attached).
  virtual Point mouseLocation() = 0;
  // Calls the handler for each matching event sent elsewhere; never where none can be observed.
  virtual void addGlobalMonitor(EventMask mask, std::function<void(const Event&)> handler);
  // Calls the handler for each matching event to our windows first; returning none consumes it.
  virtual void addLocalMonitor(EventMask mask,
                               std::function<std::optional<Event>(const Event&)> handler);
  // Seconds on a monotonic clock.
  virtual double now() = 0;
  // Calls the block on the main thread after the interval, and again every interval if it
  // repeats, until the timer is invalidated; without an event loop it never runs.
  virtual TimerId scheduleTimer(double interval, bool repeats, std::function<void()> block) = 0;
  // Stops the timer; a timer unknown or already stopped is ignored.
  virtual void invalidateTimer(TimerId timer) = 0;

  // --- Status menu -------------------------------------------------------------------------
  // The backend's side of a new status item, or null where there is no status area.
  virtual std::unique_ptr<StatusItemPeer> createStatusItemPeer(StatusItem& item) = 0;

  // --- Permission, alerts and notifications ------------------------------------------------
  // Whether what the effect needs is there (X11: global input; KWin: its script); never prompts.
  virtual bool isProcessTrusted(bool prompt) = 0;
  // Shows the alert and waits; closing it, or no dialog, answers as its second (or only) button.
  virtual ModalResponse runModalAlert(const Alert& alert) = 0;
  // Sends the notification without awaiting a reply; with no session bus it is dropped.
  virtual void deliverNotification(const UserNotification& notification) = 0;

 protected:
  // Where the backend reports what happened, for the observers and monitors to see.
  EventDispatch& eventDispatch() { return events_; }

 private:
  EventDispatch events_;
};

// Installs the backend for the rest of the process (or until the next install). Installing
// starts a new application object and drops every fade in progress.
void installPlatform(std::unique_ptr<Platform> backend);
// The installed backend; a null backend (no screens, no input, nothing shown) until then.
Platform& currentPlatform();

// A backend with nothing attached: for headless runs.
std::unique_ptr<Platform> makeNullPlatform();

}  // namespace platform
