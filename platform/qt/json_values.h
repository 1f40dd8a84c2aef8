#pragma once

#include <QJsonValue>
#include <cstdint>
#include <optional>

#include "platform/workspace.h"

namespace platform::qt {

// Numbers from a compositor's JSON, which is hostile input: the value as an integer when it
// is a JSON number holding one exactly, else none.
std::optional<std::int64_t> integerOf(const QJsonValue& value);
// A process id: a positive integer that fits one, else none.
std::optional<ProcessId> pidOf(const QJsonValue& value);

}  // namespace platform::qt
