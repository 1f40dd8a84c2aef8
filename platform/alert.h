#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using ModalResponse = std::int64_t;
inline constexpr ModalResponse kAlertFirstButtonReturn = 1000;
inline constexpr ModalResponse kAlertSecondButtonReturn = 1001;

// A modal message with buttons; the first button added answers 1000, the next 1001.
class Alert final {
 public:
  const std::string& messageText() const { return messageText_; }
  void setMessageText(std::string text) { messageText_ = std::move(text); }
  const std::string& informativeText() const { return informativeText_; }
  void setInformativeText(std::string text) { informativeText_ = std::move(text); }
  void addButtonWithTitle(std::string title) { buttonTitles_.push_back(std::move(title)); }
  const std::vector<std::string>& buttonTitles() const { return buttonTitles_; }

  // Shows the alert and waits until the user answers it.
  ModalResponse runModal();

 private:
  std::string messageText_;
  std::string informativeText_;
  std::vector<std::string> buttonTitles_;
};

inline constexpr std::string_view kTrustedCheckOptionPrompt = "AXTrustedCheckOptionPrompt";
using TrustCheckOptions = std::map<std::string, bool, std::less<>>;

// Whether this process may observe input meant for other applications. With the prompt
// option, the platform may also ask the user to grant it.
bool isProcessTrustedWithOptions(const TrustCheckOptions& options);

// A message handed to the platform for immediate presentation.
class UserNotification final {
 public:
  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  const std::string& informativeText() const { return informativeText_; }
  void setInformativeText(std::string text) { informativeText_ = std::move(text); }

 private:
  std::string title_;
  std::string informativeText_;
};

class UserNotificationCenter final {
 public:
  static UserNotificationCenter& defaultUserNotificationCenter();
  void deliverNotification(const UserNotification& notification);
};

}  // namespace platform
