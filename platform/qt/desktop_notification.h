#pragma once

#include <QString>

#include "platform/alert.h"

namespace platform::qt {

// Hands the notification to the desktop's notification server on the session bus, without
// waiting for an answer. Without a bus or a server nothing happens.
void sendDesktopNotification(const UserNotification& notification, const QString& iconPath);

}  // namespace platform::qt
