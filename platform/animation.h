#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace platform {

class Window;

// Groups property changes made through animators into one animation of a shared duration.
class AnimationContext final {
 public:
  inline static constexpr double kDefaultDuration = 0.25;

  // Runs the block at once with a fresh context, then animates every change that the block
  // made through an animator over the context's duration. Returns without waiting.
  static void runAnimationGroup(const std::function<void(AnimationContext&)>& changes);
  // The group whose block runs now, or null outside any group.
  static AnimationContext* currentContext();

  double duration() const { return duration_; }
  void setDuration(double seconds) { duration_ = seconds; }

  void addAlphaChange(Window& window, double targetAlpha);

  // Ends the window's fade where it stands; used when its alpha is set directly.
  static void cancelFade(const Window& window);

 private:
  struct AlphaChange {
    std::weak_ptr<Window> window;
    double target;
  };
  double duration_ = kDefaultDuration;
  std::vector<AlphaChange> alphaChanges_;
};

// Drops every fade in progress; a newly installed platform starts with none.
void resetFadesForNewPlatform();

}  // namespace platform
