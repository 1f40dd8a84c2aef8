#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/image.h"
#include "platform/object.h"

namespace platform {

// An object that answers actions sent by menu items and controls, by selector name.
class Responder : public Object {
 public:
  virtual bool respondsToAction(std::string_view action) const = 0;
  virtual void performAction(std::string_view action, Object& sender) = 0;
};

struct Notification {
  std::string name;
};

class ApplicationDelegate : public Responder {
 public:
  virtual void applicationDidFinishLaunching(const Notification& notification) = 0;
};

enum class ApplicationActivationPolicy : std::int64_t {
  regular = 0,
  accessory = 1,
  prohibited = 2
};

inline constexpr std::string_view kTerminateAction = "terminate:";

// The one application object: runs the event loop and routes actions to their receivers.
class Application final : public Responder {
 public:
  // The application object, created on first use; a newly installed platform starts a new one.
  static Application& sharedApplication();

  // The application refers to its delegate without owning it.
  void setDelegate(std::weak_ptr<ApplicationDelegate> delegate);
  std::shared_ptr<ApplicationDelegate> delegate() const { return delegate_.lock(); }
  bool setActivationPolicy(ApplicationActivationPolicy policy);
  ApplicationActivationPolicy activationPolicy() const { return policy_; }

  // Runs the event loop; tells the delegate once that launching has finished.
  void run();
  // Ends the application.
  void terminate(Object* sender);
  void setApplicationIconImage(std::shared_ptr<Image> image);
  const std::shared_ptr<Image>& applicationIconImage() const { return iconImage_; }

  // Sends the action to the target if it answers it, else along the responder chain: the
  // delegate, then the application. False when nothing answered.
  bool sendAction(std::string_view action, const std::weak_ptr<Responder>& target, Object& sender);
  // Whether the action would find a receiver with no target given.
  bool hasReceiverForAction(std::string_view action) const;

  bool respondsToAction(std::string_view action) const override;
  void performAction(std::string_view action, Object& sender) override;

 private:
  std::weak_ptr<ApplicationDelegate> delegate_;
  ApplicationActivationPolicy policy_ = ApplicationActivationPolicy::regular;
  std::shared_ptr<Image> iconImage_;
};

// The application's own resource files.
class Bundle final {
 public:
  static Bundle& mainBundle();
  // The path of the resource, or empty when there is none.
  std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const;
};

// Diagnostic lines on standard output.
void writeStandardOutputLine(std::string_view line);

}  // namespace platform
