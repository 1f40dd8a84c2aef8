#pragma once

#include <memory>

#include "platform/platform.h"

class QObject;

namespace platform::qt {

class QtTimers;

// What every backend on Qt does alike: termination on Quit, SIGINT and SIGTERM, the icon, the
// bundled resources, standard output, URLs, the clock and timers, the alert and the
// notification. A backend adds its event loop, windows, workspace, input and status item.
class QtPlatform : public Platform {
 public:
  ~QtPlatform() override;
  QtPlatform(const QtPlatform&) = delete;
  QtPlatform& operator=(const QtPlatform&) = delete;

  void terminate() override;
  void setApplicationIconImage(const Image& image) override;
  std::optional<std::string> pathForResource(std::string_view name, std::string_view type) override;
  bool canReadImageFile(const std::string& path) override;
  bool hasSystemSymbol(const std::string& name) override;
  void writeStandardOutputLine(std::string_view line) override;

  bool openURL(const URL& url) override;
  URL accessibilitySettingsURL() override;
  std::int32_t windowLevelForKey(WindowLevelKey key) override;

  double now() override;
  TimerId scheduleTimer(double interval, bool repeats, std::function<void()> block) override;
  void invalidateTimer(TimerId timer) override;

  ModalResponse runModalAlert(const Alert& alert) override;
  void deliverNotification(const UserNotification& notification) override;

 protected:
  QtPlatform();

  // The parent of every Qt object the platform makes; it goes last, with the platform.
  std::unique_ptr<QObject> owner_;

 private:
  std::unique_ptr<QtTimers> timers_;
};

}  // namespace platform::qt
