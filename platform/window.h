#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/color.h"
#include "platform/geometry.h"
#include "platform/object.h"
#include "platform/view.h"

namespace platform {

using WindowNumber = std::int64_t;
using WindowLevel = std::int64_t;

inline constexpr std::uint64_t kWindowStyleMaskBorderless = 0;
inline constexpr WindowLevel kNormalWindowLevel = 0;

enum class BackingStoreType : std::int64_t { retained = 0, nonretained = 1, buffered = 2 };

inline constexpr std::uint64_t kWindowCollectionBehaviorCanJoinAllSpaces = 0x1;
inline constexpr std::uint64_t kWindowCollectionBehaviorStationary = 0x10;
inline constexpr std::uint64_t kWindowCollectionBehaviorIgnoresCycle = 0x40;
inline constexpr std::uint64_t kWindowCollectionBehaviorFullScreenAuxiliary = 0x100;

class Window;

// What a window's backend hears of the window's state; it reads the new values from the window.
class WindowPeer {
 public:
  virtual ~WindowPeer() = default;
  // The window server's number for the window.
  virtual WindowNumber windowNumber() = 0;
  virtual void frameDidChange() {}
  virtual void levelDidChange() {}
  virtual void alphaDidChange() {}
  // Background colour, opacity, shadow, mouse handling or collection behaviour.
  virtual void attributesDidChange() {}
  // The content view was replaced or something inside it changed.
  virtual void contentDidChange() {}
  virtual void orderFront() = 0;
};

// Changes made through a window's animator are animated by the running animation group.
class WindowAnimator {
 public:
  explicit WindowAnimator(Window& window) : window_(window) {}
  void setAlphaValue(double alpha);

 private:
  Window& window_;
};

// A window on screen; the installed platform supplies its peer.
class Window final : public Object, public std::enable_shared_from_this<Window> {
 public:
  // A window with the given content rectangle in global screen coordinates; it has a plain
  // content view of its own and is not on screen until ordered front.
  static std::shared_ptr<Window> create(Rect contentRect, std::uint64_t styleMask,
                                        BackingStoreType backing, bool defer);
  Window(Rect contentRect, std::uint64_t styleMask);
  ~Window() override;

  Rect frame() const { return frame_; }
  void setFrame(Rect frame, bool display);
  std::uint64_t styleMask() const { return styleMask_; }

  const Color& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(Color color);
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque);
  bool hasShadow() const { return hasShadow_; }
  void setHasShadow(bool hasShadow);
  bool ignoresMouseEvents() const { return ignoresMouseEvents_; }
  void setIgnoresMouseEvents(bool ignores);
  std::uint64_t collectionBehavior() const { return collectionBehavior_; }
  void setCollectionBehavior(std::uint64_t behavior);

  WindowLevel level() const { return level_; }
  void setLevel(WindowLevel level);

  // The alpha shown now, also in the middle of a fade.
  double alphaValue() const { return alphaValue_; }
  // Sets the alpha at once, ending any fade of this window.
  void setAlphaValue(double alpha);
  WindowAnimator animator() { return WindowAnimator(*this); }

  View* contentView() const { return contentView_.get(); }
  void setContentView(std::shared_ptr<View> view);

  // Puts the window in front of the others of its level; it does not take focus.
  void orderFront();
  bool isVisible() const { return visible_; }
  WindowNumber windowNumber();

  WindowPeer* peer() const { return peer_.get(); }
  // Called by the content view tree when something in it changed.
  void contentDidChange();
  // Called by the fade machinery for each animation step.
  void applyAnimatedAlpha(double alpha);

 private:
  void detachContentView();

  Rect frame_;
  std::uint64_t styleMask_;
  Color backgroundColor_ = Color::clearColor();
  bool opaque_ = true;
  bool hasShadow_ = true;
  bool ignoresMouseEvents_ = false;
  std::uint64_t collectionBehavior_ = 0;
  WindowLevel level_ = kNormalWindowLevel;
  double alphaValue_ = 1.0;
  bool visible_ = false;
  std::shared_ptr<View> contentView_;
  std::unique_ptr<WindowPeer> peer_;
};

}  // namespace platform
