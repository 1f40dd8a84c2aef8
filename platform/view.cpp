#include "platform/view.h"

#include <algorithm>

#include "platform/window.h"

namespace platform {

void Layer::setBackgroundColor(std::optional<Color> color) {
  backgroundColor_ = color;
  owner_.setNeedsDisplay();
}

void Layer::setBackgroundFilters(std::vector<std::shared_ptr<Filter>> filters) {
  backgroundFilters_ = std::move(filters);
  owner_.setNeedsDisplay();
}

void Layer::setFilters(std::vector<std::shared_ptr<Filter>> filters) {
  filters_ = std::move(filters);
  owner_.setNeedsDisplay();
}

std::shared_ptr<View> View::create(Rect frame) {
  return std::make_shared<View>(frame);
}

View::~View() {
  for (auto& subview : subviews_) subview->superview_ = nullptr;
}

void View::setFrame(Rect frame) {
  frame_ = frame;
  setNeedsDisplay();
}

void View::setAlphaValue(double alpha) {
  alphaValue_ = alpha;
  setNeedsDisplay();
}

void View::setWantsLayer(bool wantsLayer) {
  if (wantsLayer == (layer_ != nullptr)) return;
  layer_ = wantsLayer ? std::make_unique<Layer>(*this) : nullptr;
  setNeedsDisplay();
}

void View::addSubview(std::shared_ptr<View> view) {
  if (!view || view.get() == this) return;
  view->removeFromSuperview();
  view->superview_ = this;
  subviews_.push_back(std::move(view));
  setNeedsDisplay();
}

void View::removeFromSuperview() {
  View* parent = superview_;
  if (parent == nullptr) return;
  superview_ = nullptr;
  auto& siblings = parent->subviews_;
  auto found = std::find_if(siblings.begin(), siblings.end(),
                            [this](const std::shared_ptr<View>& v) { return v.get() == this; });
  if (found == siblings.end()) return;
  auto keepAlive = std::move(*found);  // released after the parent is told
  siblings.erase(found);
  parent->setNeedsDisplay();
}

Window* View::window() const {
  const View* root = this;
  while (root->superview_ != nullptr) root = root->superview_;
  return root->hostWindow_;
}

void View::setNeedsDisplay() {
  if (Window* host = window()) host->contentDidChange();
}

std::shared_ptr<VisualEffectView> VisualEffectView::create(Rect frame) {
  return std::make_shared<VisualEffectView>(frame);
}

void VisualEffectView::setMaterial(VisualEffectMaterial material) {
  material_ = material;
  setNeedsDisplay();
}

void VisualEffectView::setBlendingMode(VisualEffectBlendingMode mode) {
  blendingMode_ = mode;
  setNeedsDisplay();
}

void VisualEffectView::setState(VisualEffectState state) {
  state_ = state;
  setNeedsDisplay();
}

}  // namespace platform
