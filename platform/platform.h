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
#include "platform/geometry.h"
#include "platform/image.h"
#include "platform/menu.h"
#include "platform/window.h"
#include "platform/workspace.h"

namespace platform {

using TimerId = std::uint64_t;

// What a backend provides. The platform's object types call into the installed backend; the
// core never talks to it directly. Every operation copes with the thing it needs being absent.
class Platform {
 public:
  virtual ~Platform() = default;

  // --- Application -------------------------------------------------------------------------
  // Runs the event loop; calls didFinishLaunching once, from inside the loop, first.
  virtual void runEventLoop(const std::function<void()>& didFinishLaunching) = 0;
  // Ends the event loop and the application.
  virtual void terminate() = 0;
  virtual bool setActivationPolicy(ApplicationActivationPolicy policy) = 0;
  // Shows the image as the application's icon.
  virtual void setApplicationIconImage(const Image& image) = 0;
  // The path of a bundled resource, or empty when it is missing.
  virtual std::optional<std::string> pathForResource(std::string_view name,
                                                     std::string_view type) = 0;
  // Whether the file can be read as an image.
  virtual bool canReadImageFile(const std::string& path) = 0;
  // Whether the platform can draw the named symbol.
  virtual bool hasSystemSymbol(const std::string& name) = 0;
  // Writes one line, with its line feed, to standard output at once.
  virtual void writeStandardOutputLine(std::string_view line) = 0;

  // --- Screens and windows -----------------------------------------------------------------
  // The frame of every attached screen in global points; empty when there is none.
  virtual std::vector<Rect> screenFrames() = 0;
  // The backend's side of a new window; the window tells it every change.
  virtual std::unique_ptr<WindowPeer> createWindowPeer(Window& window) = 0;

  // --- Workspace and window server ---------------------------------------------------------
  virtual std::optional<RunningApplication> frontmostApplication() = 0;
  // The observer runs on the main thread each time the notification is posted.
  virtual void addWorkspaceObserver(WorkspaceNotification name, std::function<void()> observer) = 0;
  virtual bool openURL(const URL& url) = 0;
  virtual URL accessibilitySettingsURL() = 0;
  // The on-screen windows, front to back, or null when the window server gives nothing.
  virtual std::shared_ptr<const WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                               std::int64_t relativeToWindow) = 0;
  virtual std::int32_t windowLevelForKey(WindowLevelKey key) = 0;

  // --- Input and time ----------------------------------------------------------------------
  virtual Point mouseLocation() = 0;
  virtual void addGlobalMonitor(EventMask mask, std::function<void(const Event&)> handler) = 0;
  virtual void addLocalMonitor(EventMask mask,
                               std::function<std::optional<Event>(const Event&)> handler) = 0;
  // Seconds on a monotonic clock.
  virtual double now() = 0;
  // Calls the block on the main thread after the interval, and again every interval if it
  // repeats, until the timer is invalidated.
  virtual TimerId scheduleTimer(double interval, bool repeats, std::function<void()> block) = 0;
  virtual void invalidateTimer(TimerId timer) = 0;

  // --- Status menu -------------------------------------------------------------------------
  // The backend's side of a new status item, or null where there is no status area.
  virtual std::unique_ptr<StatusItemPeer> createStatusItemPeer(StatusItem& item) = 0;

  // --- Permission, alerts and notifications ------------------------------------------------
  virtual bool isProcessTrusted(bool prompt) = 0;
  virtual ModalResponse runModalAlert(const Alert& alert) = 0;
  virtual void deliverNotification(const UserNotification& notification) = 0;
};

// Installs the backend for the rest of the process (or until the next install). Installing
// starts a new application object and drops every fade in progress.
void installPlatform(std::unique_ptr<Platform> backend);
// The installed backend; a null backend (no screens, no input, nothing shown) until then.
Platform& currentPlatform();

// A backend with nothing attached: for headless runs.
std::unique_ptr<Platform> makeNullPlatform();

}  // namespace platform
