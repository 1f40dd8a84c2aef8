#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/layer.h"
#include "platform/object.h"

namespace platform {

class Window;

inline constexpr std::uint64_t kViewWidthSizable = 2;
inline constexpr std::uint64_t kViewHeightSizable = 16;

// A rectangle of a window's content, with subviews and, when asked for, a backing layer.
class View : public Object {
 public:
  // A view with the given frame in its superview's coordinates, no subviews and no layer.
  static std::shared_ptr<View> create(Rect frame);
  explicit View(Rect frame) : frame_(frame) {}
  ~View() override;

  Rect frame() const { return frame_; }
  void setFrame(Rect frame);
  // The view's own coordinate space: origin (0, 0), the frame's size.
  Rect bounds() const { return Rect{{0.0, 0.0}, frame_.size}; }

  std::uint64_t autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(std::uint64_t mask) { autoresizingMask_ = mask; }

  double alphaValue() const { return alphaValue_; }
  void setAlphaValue(double alpha);

  bool wantsLayer() const { return layer_ != nullptr; }
  // Switching layer backing on creates the layer; switching it off drops it.
  void setWantsLayer(bool wantsLayer);
  // The backing layer, or null when the view is not layer-backed.
  Layer* layer() { return layer_.get(); }
  const Layer* layer() const { return layer_.get(); }

  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  // Adds the view at the top of the subviews, taking it from any earlier superview.
  void addSubview(std::shared_ptr<View> view);
  // Detaches the view from its superview, which releases it.
  void removeFromSuperview();
  View* superview() const { return superview_; }

  // The window whose content view this view is, or holds it; null when detached.
  Window* window() const;

  // Tells the window that shows this view that its content changed.
  void setNeedsDisplay();

 private:
  friend class Window;
  Rect frame_;
  std::uint64_t autoresizingMask_ = 0;
  double alphaValue_ = 1.0;
  std::unique_ptr<Layer> layer_;
  std::vector<std::shared_ptr<View>> subviews_;
  View* superview_ = nullptr;
  Window* hostWindow_ = nullptr;  // set on a window's content view only
};

enum class VisualEffectMaterial : std::int64_t { hudWindow = 13, underWindowBackground = 21 };
enum class VisualEffectBlendingMode : std::int64_t { behindWindow = 0, withinWindow = 1 };
enum class VisualEffectState : std::int64_t {
  followsWindowActiveState = 0,
  active = 1,
  inactive = 2
};

// A view that shows a blurred, tinted rendering of what lies behind its window.
class VisualEffectView final : public View {
 public:
  static std::shared_ptr<VisualEffectView> create(Rect frame);
  explicit VisualEffectView(Rect frame) : View(frame) {}

  VisualEffectMaterial material() const { return material_; }
  void setMaterial(VisualEffectMaterial material);
  VisualEffectBlendingMode blendingMode() const { return blendingMode_; }
  void setBlendingMode(VisualEffectBlendingMode mode);
  VisualEffectState state() const { return state_; }
  void setState(VisualEffectState state);

 private:
  VisualEffectMaterial material_ = VisualEffectMaterial::underWindowBackground;
  VisualEffectBlendingMode blendingMode_ = VisualEffectBlendingMode::behindWindow;
  VisualEffectState state_ = VisualEffectState::followsWindowActiveState;
};

}  // namespace platform
