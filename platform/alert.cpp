#include "platform/alert.h"

#include "platform/platform.h"

namespace platform {

ModalResponse Alert::runModal() {
  return currentPlatform().runModalAlert(*this);
}

bool isProcessTrustedWithOptions(const TrustCheckOptions& options) {
  auto prompt = options.find(kTrustedCheckOptionPrompt);
  return currentPlatform().isProcessTrusted(prompt != options.end() && prompt->second);
}

UserNotificationCenter& UserNotificationCenter::defaultUserNotificationCenter() {
  static UserNotificationCenter center;
  return center;
}

void UserNotificationCenter::deliverNotification(const UserNotification& notification) {
  currentPlatform().deliverNotification(notification);
}

}  // namespace platform
