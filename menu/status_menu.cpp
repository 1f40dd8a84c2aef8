#include <memory>

#include "app/quillmere_app.h"
#include "platform/image.h"
#include "platform/menu.h"
#include "platform/view.h"

namespace quillmere {

using namespace platform;

namespace {
constexpr double kStatusSymbolPointSize = 13.0;
constexpr double kSliderMinimum = 0.1;
constexpr double kSliderMaximum = 1.0;
constexpr Rect kSliderContainerFrame{{0.0, 0.0}, {200.0, 30.0}};
constexpr Rect kSliderFrame{{20.0, 0.0}, {160.0, 30.0}};

ControlStateValue stateFor(bool isCurrent) {
  return isCurrent ? ControlStateValue::on : ControlStateValue::off;
}

std::shared_ptr<MenuItem> disabledHeading(std::string title) {
  auto item = MenuItem::create(std::move(title), "", "");
  item->setEnabled(false);
  return item;
}
}  // namespace

// Builds the status item and its menu once, at launch.
void QuillmereApp::setupStatusItem() {
  statusItem = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);

  if (statusItem) {
    if (StatusBarButton* button = statusItem->button()) {
      auto config = ImageSymbolConfiguration::configurationWithPointSize(kStatusSymbolPointSize,
                                                                         FontWeight::medium);
      if (auto image = Image::imageWithSystemSymbolName("circle.dotted", "Quillmere")) {
        button->setImage(image->imageWithSymbolConfiguration(config));
      }
    }
  }

  auto menu = Menu::create();
  menu->addItem(disabledHeading("Shortcuts & Gestures"));
  menu->addItem(MenuItem::create("  Shake mouse to toggle", "", ""));
  menu->addItem(MenuItem::create("  \u2318 + B : Quick Toggle", "", ""));
  menu->addItem(MenuItem::create("  \u2318 + Q : Quit App", "", ""));
  menu->addItem(MenuItem::separatorItem());

  for (EffectMode mode : allCases) {
    auto item = MenuItem::create(std::string(rawValue(mode)), "changeMode:", "");
    item->setRepresentedObject(mode);
    item->setState(stateFor(mode == currentMode));
    menu->addItem(item);
  }
  menu->addItem(MenuItem::separatorItem());

  menu->addItem(disabledHeading("Effect Intensity"));
  auto slider = Slider::sliderWithValue(intensity, kSliderMinimum, kSliderMaximum, weak_from_this(),
                                        "intensityChanged:");
  slider->setFrame(kSliderFrame);
  auto sliderContainer = View::create(kSliderContainerFrame);
  sliderContainer->addSubview(slider);
  auto sliderItem = MenuItem::create();
  sliderItem->setView(sliderContainer);
  menu->addItem(sliderItem);
  menu->addItem(MenuItem::separatorItem());

  menu->addItem(MenuItem::create("Toggle Quillmere", "toggleEffectFromMenu", "b"));
  menu->addItem(MenuItem::create("Quit", std::string(kTerminateAction), "q"));

  if (statusItem) statusItem->setMenu(menu);
}

// Chooses the mode of the item, moves the check mark and rebuilds every overlay, even when
// the mode did not change.
void QuillmereApp::changeMode(MenuItem& item) {
  const auto* mode = std::any_cast<EffectMode>(&item.representedObject());
  if (mode == nullptr) return;
  currentMode = *mode;

  if (statusItem && statusItem->menu() != nullptr) {
    for (const auto& menuItem : statusItem->menu()->itemArray()) {
      if (const auto* itemMode = std::any_cast<EffectMode>(&menuItem->representedObject())) {
        menuItem->setState(stateFor(*itemMode == currentMode));
      }
    }
  }

  for (const auto& window : overlayWindows) updateOverlayEffect(*window);
}

void QuillmereApp::intensityChanged(Slider& slider) {
  intensity = slider.doubleValue();
  for (const auto& window : overlayWindows) updateOverlayEffect(*window);
}

void QuillmereApp::toggleEffectFromMenu() {
  toggleEffect();
}

}  // namespace quillmere
