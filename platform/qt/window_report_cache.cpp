#include "platform/qt/window_report_cache.h"

#include <utility>

namespace platform::qt {

WindowReportCache::Step WindowReportCache::handle(std::string_view text) {
  auto report = parseWindowReport(text);
  if (!report) return {};
  Step step;
  auto windows = listOf(*report);
  step.exposureChanged = !windows_ || *windows != *windows_;
  windows_ = std::move(windows);
  frontmost_ = report->activePid;
  if (desktop_ && report->desktop != desktop_) {
    step.exposureChanged = true;
    step.notifications.push_back(WorkspaceNotification::activeSpaceDidChange);
  }
  desktop_ = report->desktop;
  if (frontmost_ != announcedFrontmost_) {
    announcedFrontmost_ = frontmost_;
    step.notifications.push_back(WorkspaceNotification::didActivateApplication);
  }
  return step;
}

void WindowReportCache::reset() {
  *this = WindowReportCache(ownPid_);
}

std::int64_t WindowReportCache::numberOf(const std::string& id) {
  const auto [entry, added] = numbers_.try_emplace(id, nextNumber_);
  if (added) ++nextNumber_;
  return entry->second;
}

std::shared_ptr<const WindowInfoList> WindowReportCache::listOf(const WindowReport& report) {
  // Numbers of windows that are gone are dropped, so the map never outgrows one report.
  std::unordered_map<std::string, std::int64_t> previous = std::move(numbers_);
  numbers_.clear();
  auto list = std::make_shared<WindowInfoList>();
  for (const ReportedWindow& window : report.windows) {
    const auto known = previous.find(window.id);
    const std::int64_t number = known != previous.end()
                                    ? numbers_.emplace(window.id, known->second).first->second
                                    : numberOf(window.id);
    if (!window.shown || (window.pid && *window.pid == ownPid_)) continue;
    // Without a layer, "keep above" still says where the window stands.
    const std::int64_t layer = window.layer.value_or(window.keepAbove ? 4 : 2);
    WindowInfo info;
    info.emplace(kWindowNumberKey, number);
    info.emplace(kWindowLayerKey, levelOfStackLayer(layer));
    info.emplace(kWindowAlphaKey, window.opacity);
    if (window.pid) info.emplace(kWindowOwnerPidKey, std::int64_t{*window.pid});
    list->push_back(std::move(info));
  }
  return list;
}

}  // namespace platform::qt
