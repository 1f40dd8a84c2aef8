#include "platform/wayland/sway_window_cache.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <array>
#include <string_view>

namespace platform::wayland {

namespace {

constexpr std::string_view kSubscription = R"(["window","workspace"])";

constexpr std::array<std::string_view, 3> kQuietWindowChanges = {"title", "mark", "urgent"};
constexpr std::array<std::string_view, 2> kQuietWorkspaceChanges = {"rename", "urgent"};

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& list, const QString& value) {
  for (std::string_view entry : list) {
    if (value == QLatin1String(entry.data(), qsizetype(entry.size()))) return true;
  }
  return false;
}

}  // namespace

SwayEventEffect effectOfEvent(const sway_ipc::Message& event) {
  if (event.type != sway_ipc::kWindowEvent && event.type != sway_ipc::kWorkspaceEvent) return {};
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray::fromRawData(event.payload.data(), qsizetype(event.payload.size())));
  const QJsonValue change = document.object().value(QLatin1String("change"));
  if (!change.isString()) return {true, false};
  const QString name = change.toString();
  if (event.type == sway_ipc::kWindowEvent) return {!contains(kQuietWindowChanges, name), false};
  if (contains(kQuietWorkspaceChanges, name)) return {};
  return {true, name == QLatin1String("focus")};
}

SwayWindowCache::Step SwayWindowCache::start() {
  Step step;
  step.send = sway_ipc::encode(sway_ipc::kSubscribe, kSubscription);
  ++requestsSent_;
  step.send += requestTree();
  return step;
}

void SwayWindowCache::reset() {
  *this = SwayWindowCache(ownPid_);
}

std::string SwayWindowCache::requestTree() {
  treeInFlight_ = true;
  treeStale_ = false;
  ++requestsSent_;
  return sway_ipc::encode(sway_ipc::kGetTree, {});
}

SwayWindowCache::Step SwayWindowCache::handle(const sway_ipc::Message& message) {
  if (message.type == sway_ipc::kGetTree) return treeArrived(message.payload);
  if (!message.isEvent()) return {};  // the subscription's answer
  const SwayEventEffect effect = effectOfEvent(message);
  spaceChanged_ = spaceChanged_ || effect.spaceChanged;
  if (!effect.refreshTree) return {};
  Step step;
  step.exposureChanged = true;
  if (treeInFlight_) {
    treeStale_ = true;
    return step;
  }
  step.send = requestTree();
  return step;
}

SwayWindowCache::Step SwayWindowCache::checkLayout() {
  if (treeInFlight_) return {};
  return Step{requestTree(), {}, false};
}

SwayWindowCache::Step SwayWindowCache::treeArrived(const std::string& payload) {
  treeInFlight_ = false;
  bool layoutChanged = false;
  if (auto snapshot = parseSwayTree(payload, ownPid_)) {
    windows_ = windowInfoListOf(*snapshot);
    frontmost_ = snapshot->frontmostPid;
    focusedOutput_ = std::move(snapshot->focusedOutput);
    layoutChanged = layoutDigest_ && *layoutDigest_ != snapshot->layoutDigest;
    layoutDigest_ = snapshot->layoutDigest;
  }
  if (treeStale_) return Step{requestTree(), {}, layoutChanged};
  Step step;
  step.exposureChanged = layoutChanged;
  if (spaceChanged_) step.notifications.push_back(WorkspaceNotification::activeSpaceDidChange);
  spaceChanged_ = false;
  if (frontmost_ && frontmost_ != announcedFrontmost_) {
    announcedFrontmost_ = frontmost_;
    step.notifications.push_back(WorkspaceNotification::didActivateApplication);
  }
  return step;
}

}  // namespace platform::wayland
