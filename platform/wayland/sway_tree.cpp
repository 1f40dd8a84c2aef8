#include "platform/wayland/sway_tree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <algorithm>
#include <limits>
#include <unordered_set>

#include "platform/qt/json_values.h"

namespace platform::wayland {

namespace {

using qt::integerOf;
using qt::pidOf;

// Far deeper than any real tree; a deeper one is cut off there rather than trusted.
constexpr int kMaxDepth = 128;

QJsonArray childrenOf(const QJsonObject& node) {
  QJsonArray children = node.value(QLatin1String("nodes")).toArray();
  for (const QJsonValue& floating : node.value(QLatin1String("floating_nodes")).toArray()) {
    children.append(floating);
  }
  return children;
}

// A window, as opposed to a container, workspace or output: it has an owner, or it is a
// container without children.
bool isView(const QJsonObject& node) {
  if (node.contains(QLatin1String("pid"))) return true;
  const QString type = node.value(QLatin1String("type")).toString();
  return (type == QLatin1String("con") || type == QLatin1String("floating_con")) &&
         childrenOf(node).isEmpty();
}

// The children in focus order, most recent first; those the focus list leaves out follow in
// their own order.
std::vector<QJsonObject> inFocusOrder(const QJsonObject& node) {
  std::vector<std::pair<std::size_t, QJsonObject>> ranked;
  const QJsonArray focus = node.value(QLatin1String("focus")).toArray();
  const QJsonArray children = childrenOf(node);
  for (qsizetype i = 0; i < children.size(); ++i) {
    if (!children[i].isObject()) continue;
    const QJsonObject child = children[i].toObject();
    std::size_t rank = std::size_t(focus.size()) + std::size_t(i);
    if (const auto id = integerOf(child.value(QLatin1String("id")))) {
      for (qsizetype f = 0; f < focus.size(); ++f) {
        if (integerOf(focus[f]) == id) {
          rank = std::size_t(f);
          break;
        }
      }
    }
    ranked.emplace_back(rank, child);
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<QJsonObject> ordered;
  ordered.reserve(ranked.size());
  for (auto& entry : ranked) ordered.push_back(std::move(entry.second));
  return ordered;
}

// FNV-1a over the numbers that place a window.
void digest(std::uint64_t& hash, std::int64_t value) {
  constexpr std::uint64_t kPrime = 1099511628211ull;
  for (int byte = 0; byte < 8; ++byte) {
    hash ^= std::uint64_t(value >> (8 * byte)) & 0xffu;
    hash *= kPrime;
  }
}

void digestRect(std::uint64_t& hash, const QJsonObject& rect) {
  for (const char* field : {"x", "y", "width", "height"}) {
    digest(hash, integerOf(rect.value(QLatin1String(field))).value_or(-1));
  }
}

struct Walk {
  ProcessId ownPid;
  SwayTreeSnapshot snapshot;
  std::unordered_set<std::int64_t> seen;
  QString output;  // the output the walk is in

  void visit(const QJsonObject& node, int depth) {
    if (depth > kMaxDepth) return;
    if (node.value(QLatin1String("type")).toString() == QLatin1String("output")) {
      output = node.value(QLatin1String("name")).toString();
    }
    if (node.value(QLatin1String("focused")).toBool(false)) {
      snapshot.focusedOutput = output.toStdString();
    }
    if (!isView(node)) {
      for (const QJsonObject& child : inFocusOrder(node)) visit(child, depth + 1);
      return;
    }
    const auto pid = pidOf(node.value(QLatin1String("pid")));
    if (node.value(QLatin1String("focused")).toBool(false))
      snapshot.frontmostPid = pid.value_or(-1);
    if (!node.value(QLatin1String("visible")).toBool(false)) return;
    if (pid == ownPid) return;
    const auto id = integerOf(node.value(QLatin1String("id")));
    if (!id || *id <= 0 || !seen.insert(*id).second) return;
    snapshot.views.push_back(SwayView{*id, pid});
    digest(snapshot.layoutDigest, *id);
    digestRect(snapshot.layoutDigest, node.value(QLatin1String("rect")).toObject());
  }
};

}  // namespace

std::optional<SwayTreeSnapshot> parseSwayTree(std::string_view json, ProcessId ownPid) {
  if (json.size() > std::size_t(std::numeric_limits<qsizetype>::max())) return std::nullopt;
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())));
  if (!document.isObject()) return std::nullopt;
  Walk walk{ownPid, {}, {}, {}};
  walk.snapshot.layoutDigest = 14695981039346656037ull;  // FNV-1a's offset basis
  walk.visit(document.object(), 0);
  return std::move(walk.snapshot);
}

std::shared_ptr<const WindowInfoList> windowInfoListOf(const SwayTreeSnapshot& snapshot) {
  auto list = std::make_shared<WindowInfoList>();
  list->reserve(snapshot.views.size());
  for (const SwayView& view : snapshot.views) {
    WindowInfo info;
    info.emplace(kWindowNumberKey, view.id);
    info.emplace(kWindowLayerKey, std::int64_t{0});
    if (view.pid) info.emplace(kWindowOwnerPidKey, std::int64_t{*view.pid});
    list->push_back(std::move(info));
  }
  return list;
}

}  // namespace platform::wayland
