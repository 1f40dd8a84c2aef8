#include "platform/qt/window_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <algorithm>
#include <unordered_set>

#include "platform/qt/json_values.h"
#include "platform/qt/window_levels.h"

namespace platform::qt {

namespace {

std::optional<ReportedWindow> windowOf(const QJsonValue& value) {
  if (!value.isObject()) return std::nullopt;
  const QJsonObject object = value.toObject();
  const QJsonValue id = object.value(QLatin1String("id"));
  if (!id.isString()) return std::nullopt;
  ReportedWindow window;
  window.id = id.toString().toStdString();
  if (window.id.empty() || window.id.size() > kMaxReportedWindowIdBytes) return std::nullopt;
  window.pid = pidOf(object.value(QLatin1String("pid")));
  window.layer = integerOf(object.value(QLatin1String("layer")));
  const QJsonValue opacity = object.value(QLatin1String("opacity"));
  if (opacity.isDouble()) window.opacity = std::clamp(opacity.toDouble(), 0.0, 1.0);
  window.keepAbove = object.value(QLatin1String("keepAbove")).toBool(false);
  window.shown = object.value(QLatin1String("shown")).toBool(true);
  return window;
}

}  // namespace

std::optional<WindowReport> parseWindowReport(std::string_view json) {
  if (json.size() > kMaxWindowReportBytes) return std::nullopt;
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())));
  if (!document.isObject()) return std::nullopt;
  const QJsonObject object = document.object();
  WindowReport report;
  std::unordered_set<std::string> seen;
  for (const QJsonValue& value : object.value(QLatin1String("windows")).toArray()) {
    if (report.windows.size() == kMaxReportedWindows) break;
    auto window = windowOf(value);
    if (!window || !seen.insert(window->id).second) continue;
    report.windows.push_back(std::move(*window));
  }
  report.activePid = pidOf(object.value(QLatin1String("active"))).value_or(-1);
  report.desktop = integerOf(object.value(QLatin1String("desktop")));
  return report;
}

std::int64_t levelOfStackLayer(std::int64_t layer) {
  switch (layer) {
    case 0:  // desktop
      return qt::kDesktopLayer;
    case 1:  // below
      return qt::kBelowLayer;
    case 3:  // dock
      return qt::kDockLayer;
    case 4:  // above
      return qt::kFloatingLayer;
    case 5:   // notification
    case 7:   // popup
    case 8:   // critical notification
    case 9:   // on-screen display
    case 10:  // unmanaged
      return qt::kPopUpMenuLayer;
    default:  // normal, active (fullscreen), anything unknown
      return qt::kNormalLayer;
  }
}

}  // namespace platform::qt
