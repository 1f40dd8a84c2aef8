#include "platform/menu.h"

#include <algorithm>

#include "platform/platform.h"

namespace platform {

std::shared_ptr<MenuItem> MenuItem::create(std::string title, std::string action,
                                           std::string keyEquivalent) {
  auto item = std::make_shared<MenuItem>();
  item->title_ = std::move(title);
  item->action_ = std::move(action);
  item->keyEquivalent_ = std::move(keyEquivalent);
  return item;
}

std::shared_ptr<MenuItem> MenuItem::create() {
  return std::make_shared<MenuItem>();
}

std::shared_ptr<MenuItem> MenuItem::separatorItem() {
  auto item = std::make_shared<MenuItem>();
  item->separator_ = true;
  item->enabled_ = false;
  return item;
}

void MenuItem::setEnabled(bool enabled) {
  enabled_ = enabled;
  changed();
}

void MenuItem::setState(ControlStateValue state) {
  state_ = state;
  changed();
}

void MenuItem::setRepresentedObject(std::any object) {
  representedObject_ = std::move(object);
}

void MenuItem::setView(std::shared_ptr<View> view) {
  view_ = std::move(view);
  changed();
}

void MenuItem::performAction() {
  Application::sharedApplication().sendAction(action_, {}, *this);
}

void MenuItem::changed() {
  if (menu_ != nullptr) menu_->itemDidChange();
}

std::shared_ptr<Menu> Menu::create() {
  return std::make_shared<Menu>();
}

Menu::~Menu() {
  for (auto& item : items_) item->menu_ = nullptr;
}

void Menu::addItem(std::shared_ptr<MenuItem> item) {
  if (!item) return;
  item->menu_ = this;
  items_.push_back(std::move(item));
  itemDidChange();
}

bool Menu::showsItemEnabled(const MenuItem& item) const {
  if (item.isSeparatorItem()) return false;
  if (item.view()) return true;
  if (!autoenablesItems_) return item.isEnabled();
  return item.isEnabled() && Application::sharedApplication().hasReceiverForAction(item.action());
}

void Menu::itemDidChange() {
  if (changeObserver_) changeObserver_();
}

std::shared_ptr<Slider> Slider::sliderWithValue(double value, double minValue, double maxValue,
                                                std::weak_ptr<Responder> target,
                                                std::string action) {
  return std::make_shared<Slider>(value, minValue, maxValue, std::move(target), std::move(action));
}

Slider::Slider(double value, double minValue, double maxValue, std::weak_ptr<Responder> target,
               std::string action)
    : View(Rect{}),
      value_(std::clamp(value, minValue, maxValue)),
      minValue_(minValue),
      maxValue_(maxValue),
      target_(std::move(target)),
      action_(std::move(action)) {}

void Slider::setDoubleValue(double value) {
  value_ = std::clamp(value, minValue_, maxValue_);
  setNeedsDisplay();
}

void Slider::sendAction() {
  Application::sharedApplication().sendAction(action_, target_, *this);
}

void StatusBarButton::setImage(std::shared_ptr<Image> image) {
  image_ = std::move(image);
  if (StatusItemPeer* peer = item_.peer()) peer->imageDidChange();
}

StatusItem::StatusItem(double length)
    : length_(length), button_(std::make_unique<StatusBarButton>(*this)) {}

void StatusItem::setMenu(std::shared_ptr<Menu> menu) {
  menu_ = std::move(menu);
  if (peer_) peer_->menuDidChange();
}

StatusBar& StatusBar::systemStatusBar() {
  static StatusBar bar;
  return bar;
}

std::shared_ptr<StatusItem> StatusBar::statusItemWithLength(double length) {
  auto item = std::make_shared<StatusItem>(length);
  auto peer = currentPlatform().createStatusItemPeer(*item);
  if (!peer) return nullptr;
  item->setPeer(std::move(peer));
  return item;
}

std::shared_ptr<Slider> firstSlider(const std::shared_ptr<View>& view) {
  if (!view) return nullptr;
  if (auto slider = std::dynamic_pointer_cast<Slider>(view)) return slider;
  for (const auto& subview : view->subviews()) {
    if (auto slider = firstSlider(subview)) return slider;
  }
  return nullptr;
}

}  // namespace platform
