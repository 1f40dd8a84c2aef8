#include "platform/window.h"

#include "platform/animation.h"
#include "platform/platform.h"

namespace platform {

void WindowAnimator::setAlphaValue(double alpha) {
  if (AnimationContext* context = AnimationContext::currentContext()) {
    context->addAlphaChange(window_, alpha);
  } else {
    window_.setAlphaValue(alpha);
  }
}

std::shared_ptr<Window> Window::create(Rect contentRect, std::uint64_t styleMask,
                                       BackingStoreType /*backing*/, bool /*defer*/) {
  auto window = std::make_shared<Window>(contentRect, styleMask);
  window->peer_ = currentPlatform().createWindowPeer(*window);
  return window;
}

Window::Window(Rect contentRect, std::uint64_t styleMask)
    : frame_(contentRect), styleMask_(styleMask) {
  contentView_ = View::create(Rect{{0.0, 0.0}, contentRect.size});
  contentView_->hostWindow_ = this;
}

Window::~Window() {
  peer_.reset();
  detachContentView();
}

void Window::detachContentView() {
  if (contentView_) contentView_->hostWindow_ = nullptr;
}

void Window::setFrame(Rect frame, bool /*display*/) {
  frame_ = frame;
  if (peer_) peer_->frameDidChange();
}

void Window::setBackgroundColor(Color color) {
  backgroundColor_ = color;
  if (peer_) peer_->attributesDidChange();
}

void Window::setOpaque(bool opaque) {
  opaque_ = opaque;
  if (peer_) peer_->attributesDidChange();
}

void Window::setHasShadow(bool hasShadow) {
  hasShadow_ = hasShadow;
  if (peer_) peer_->attributesDidChange();
}

void Window::setIgnoresMouseEvents(bool ignores) {
  ignoresMouseEvents_ = ignores;
  if (peer_) peer_->attributesDidChange();
}

void Window::setCollectionBehavior(std::uint64_t behavior) {
  collectionBehavior_ = behavior;
  if (peer_) peer_->attributesDidChange();
}

void Window::setLevel(WindowLevel level) {
  level_ = level;
  if (peer_) peer_->levelDidChange();
}

void Window::setAlphaValue(double alpha) {
  AnimationContext::cancelFade(*this);
  applyAnimatedAlpha(alpha);
}

void Window::applyAnimatedAlpha(double alpha) {
  alphaValue_ = alpha;
  if (peer_) peer_->alphaDidChange();
}

void Window::setContentView(std::shared_ptr<View> view) {
  if (!view) return;
  view->removeFromSuperview();
  detachContentView();
  contentView_ = std::move(view);
  contentView_->hostWindow_ = this;
  contentDidChange();
}

void Window::orderFront() {
  visible_ = true;
  if (peer_) peer_->orderFront();
}

WindowNumber Window::windowNumber() {
  return peer_ ? peer_->windowNumber() : 0;
}

void Window::contentDidChange() {
  if (peer_) peer_->contentDidChange();
}

}  // namespace platform
