#include "platform/qt/json_values.h"

#include <limits>

namespace platform::qt {

std::optional<std::int64_t> integerOf(const QJsonValue& value) {
  if (!value.isDouble()) return std::nullopt;
  // toInteger answers its default for anything that is not exactly an integer; two different
  // defaults tell that case apart from a real value.
  const qint64 a = value.toInteger(0);
  const qint64 b = value.toInteger(1);
  if (a != b) return std::nullopt;
  return a;
}

std::optional<ProcessId> pidOf(const QJsonValue& value) {
  const auto pid = integerOf(value);
  if (!pid || *pid <= 0 || *pid > std::numeric_limits<ProcessId>::max()) return std::nullopt;
  return static_cast<ProcessId>(*pid);
}

}  // namespace platform::qt
