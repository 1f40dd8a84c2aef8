#include "platform/animation.h"

#include <algorithm>
#include <optional>

#include "platform/platform.h"
#include "platform/window.h"

namespace platform {

namespace {

constexpr double kFrameInterval = 1.0 / 60.0;
// Absorbs the rounding of a clock that advances in frame steps.
constexpr double kEndTolerance = 1e-9;

struct Fade {
  std::weak_ptr<Window> window;
  const Window* key;
  double from;
  double to;
  double start;
  double duration;
};

// The platform's default pacing: slow at both ends.
double easeInEaseOut(double t) {
  return t * t * (3.0 - 2.0 * t);
}

class FadeEngine {
 public:
  void start(Window& window, double target, double duration) {
    cancel(window);
    double now = currentPlatform().now();
    if (duration <= 0.0) {
      window.applyAnimatedAlpha(target);
      return;
    }
    fades_.push_back(
        {window.weak_from_this(), &window, window.alphaValue(), target, now, duration});
    if (!timer_) {
      timer_ = currentPlatform().scheduleTimer(kFrameInterval, true, [this] { step(); });
    }
  }

  void cancel(const Window& window) {
    std::erase_if(fades_, [&](const Fade& fade) { return fade.key == &window; });
    stopTimerWhenIdle();
  }

  void reset() {
    fades_.clear();
    timer_.reset();  // the timer belonged to the previous platform
  }

 private:
  void step() {
    double now = currentPlatform().now();
    auto fades = fades_;  // a window's peer may start or cancel fades while we go
    for (const Fade& fade : fades) {
      auto window = fade.window.lock();
      double progress = (now - fade.start) / fade.duration;
      bool done = !window || progress >= 1.0 - kEndTolerance;
      if (window) {
        window->applyAnimatedAlpha(
            done ? fade.to : fade.from + (fade.to - fade.from) * easeInEaseOut(progress));
      }
      if (done) {
        std::erase_if(fades_,
                      [&](const Fade& f) { return f.key == fade.key && f.start == fade.start; });
      }
    }
    stopTimerWhenIdle();
  }

  void stopTimerWhenIdle() {
    if (fades_.empty() && timer_) {
      currentPlatform().invalidateTimer(*timer_);
      timer_.reset();
    }
  }

  std::vector<Fade> fades_;
  std::optional<TimerId> timer_;
};

FadeEngine& fadeEngine() {
  static FadeEngine engine;
  return engine;
}

AnimationContext* currentGroup = nullptr;

}  // namespace

void AnimationContext::runAnimationGroup(const std::function<void(AnimationContext&)>& changes) {
  AnimationContext context;
  AnimationContext* outer = currentGroup;
  currentGroup = &context;
  changes(context);
  currentGroup = outer;
  for (const AlphaChange& change : context.alphaChanges_) {
    if (auto window = change.window.lock()) {
      fadeEngine().start(*window, change.target, context.duration_);
    }
  }
}

AnimationContext* AnimationContext::currentContext() {
  return currentGroup;
}

void AnimationContext::addAlphaChange(Window& window, double targetAlpha) {
  alphaChanges_.push_back({window.weak_from_this(), targetAlpha});
}

void AnimationContext::cancelFade(const Window& window) {
  fadeEngine().cancel(window);
}

void resetFadesForNewPlatform() {
  fadeEngine().reset();
}

}  // namespace platform
