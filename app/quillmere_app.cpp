#include "app/quillmere_app.h"

#include "platform/alert.h"
#include "platform/application.h"
#include "platform/image.h"

namespace quillmere {

using namespace platform;

namespace {
constexpr std::string_view kChangeModeAction = "changeMode:";
constexpr std::string_view kIntensityChangedAction = "intensityChanged:";
constexpr std::string_view kToggleEffectFromMenuAction = "toggleEffectFromMenu";
}  // namespace

std::string_view QuillmereApp::rawValue(EffectMode mode) {
  switch (mode) {
    case EffectMode::blur:
      return "Blur";
    case EffectMode::pixelate:
      return "Pixelate";
    case EffectMode::dim:
      return "Dim";
  }
  return "";
}

std::optional<QuillmereApp::EffectMode> QuillmereApp::initWithRawValue(std::string_view text) {
  for (EffectMode mode : allCases) {
    if (rawValue(mode) == text) return mode;
  }
  return std::nullopt;
}

void QuillmereApp::applicationDidFinishLaunching(const Notification& /*notification*/) {
  writeStandardOutputLine("QuillmereApp started");

  if (auto iconPath = Bundle::mainBundle().pathForResource("app-icon", "png")) {
    if (auto icon = Image::imageWithContentsOfFile(*iconPath)) {
      Application::sharedApplication().setApplicationIconImage(icon);
    }
  }

  checkPermissions();

  UserNotification notification;
  notification.setTitle("Quillmere is Active");
  notification.setInformativeText(
      "Check your Menu Bar (look for the dotted circle) to control the effects.");
  UserNotificationCenter::defaultUserNotificationCenter().deliverNotification(notification);

  setupOverlay();
  startMonitoring();
  setupStatusItem();
}

bool QuillmereApp::respondsToAction(std::string_view action) const {
  return action == kChangeModeAction || action == kIntensityChangedAction ||
         action == kToggleEffectFromMenuAction;
}

void QuillmereApp::performAction(std::string_view action, Object& sender) {
  if (action == kChangeModeAction) {
    if (auto* item = dynamic_cast<MenuItem*>(&sender)) changeMode(*item);
  } else if (action == kIntensityChangedAction) {
    if (auto* slider = dynamic_cast<Slider*>(&sender)) intensityChanged(*slider);
  } else if (action == kToggleEffectFromMenuAction) {
    toggleEffectFromMenu();
  }
}

}  // namespace quillmere
