#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/qt/window_report.h"
#include "platform/workspace.h"

namespace platform::qt {

// The window list and the frontmost application as the reports of KWin's script or GNOME
// Shell's extension keep them current, without any I/O: it says which notifications to post.
// Every report carries the whole picture, so each one replaces what came before; an unreadable
// one changes nothing.
class WindowReportCache final {
 public:
  explicit WindowReportCache(ProcessId ownPid) : ownPid_(ownPid) {}

  struct Step {
    std::vector<WorkspaceNotification> notifications;  // to post now, the cache updated
    // The windows shown, their order, levels or opacity changed, or another desktop shows.
    bool exposureChanged = false;
  };

  Step handle(std::string_view report);
  // Forgets everything: the reporter or its compositor went away.
  void reset();

  // Null until the first report arrives. Windows of `ownPid` are left out.
  std::shared_ptr<const WindowInfoList> windowList() const { return windows_; }
  // None until the first report arrives; -1 when no window is active.
  std::optional<ProcessId> frontmostPid() const { return frontmost_; }

 private:
  std::int64_t numberOf(const std::string& id);
  std::shared_ptr<const WindowInfoList> listOf(const WindowReport& report);

  ProcessId ownPid_;
  std::shared_ptr<const WindowInfoList> windows_;
  std::optional<ProcessId> frontmost_;
  std::optional<std::int64_t> desktop_;
  std::optional<ProcessId> announcedFrontmost_;  // as the last activation posted it
  // The compositor's window ids to our window numbers, for the windows of the last report: a window
  // keeps its number while it exists, hidden or not.
  std::unordered_map<std::string, std::int64_t> numbers_;
  std::int64_t nextNumber_ = 1;
};

}  // namespace platform::qt
