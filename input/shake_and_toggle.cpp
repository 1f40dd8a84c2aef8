#include <cmath>

#include "app/quillmere_app.h"
#include "platform/animation.h"
#include "platform/application.h"
#include "platform/event.h"

namespace quillmere {

using namespace platform;

namespace {
// Only a step strictly longer than this counts towards a shake.
constexpr double kLongStepLength = 30.0;
// A shake total strictly above this toggles the effect.
constexpr double kShakeTrigger = 600.0;
// Each short step wears the total down by this factor.
constexpr double kShortStepDecay = 0.9;
constexpr double kToggleFadeDuration = 0.3;
}  // namespace

// Recognises a shake as long, quick pointer steps adding up past the trigger before short
// steps wear the total down. No time is measured: the step length stands in for speed.
void QuillmereApp::trackShake(const Event& /*event*/) {
  const Point location = Event::mouseLocation();
  if (!lastMouseLocation) {
    lastMouseLocation = location;
    return;
  }

  const double dx = location.x - lastMouseLocation->x;
  const double dy = location.y - lastMouseLocation->y;
  const double step = std::sqrt(dx * dx + dy * dy);
  if (step > kLongStepLength) {
    shakeTotal += step;
    if (shakeTotal > kShakeTrigger) {
      toggleEffect();
      shakeTotal = 0.0;
    }
  } else {
    shakeTotal *= kShortStepDecay;
  }
  lastMouseLocation = location;
}

// The one way the effect is switched on or off: the overlays stay on screen and fade.
void QuillmereApp::toggleEffect() {
  isEffectEnabled = !isEffectEnabled;
  writeStandardOutputLine(isEffectEnabled ? "Toggled effect: true" : "Toggled effect: false");

  AnimationContext::runAnimationGroup([this](AnimationContext& context) {
    context.setDuration(kToggleFadeDuration);
    for (const auto& window : overlayWindows) {
      window->animator().setAlphaValue(isEffectEnabled ? 1.0 : 0.0);
    }
  });
}

}  // namespace quillmere
