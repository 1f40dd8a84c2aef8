#include <memory>
#include <vector>

#include "app/quillmere_app.h"
#include "platform/filter.h"
#include "platform/view.h"

namespace quillmere {

using namespace platform;

namespace {
constexpr double kPixelateOverscan = 100.0;
constexpr double kPixelateScalePerIntensity = 60.0;
constexpr double kDimAlphaPerIntensity = 0.9;
}  // namespace

// Rebuilds one overlay's content from nothing for the current mode and intensity.
void QuillmereApp::updateOverlayEffect(Window& window) {
  View* contentView = window.contentView();
  if (contentView == nullptr) return;

  std::vector<std::shared_ptr<View>> oldSubviews = contentView->subviews();
  for (auto& subview : oldSubviews) subview->removeFromSuperview();

  if (Layer* layer = contentView->layer()) layer->setBackgroundFilters({});
  if (Layer* layer = contentView->layer()) layer->setBackgroundColor(std::nullopt);

  switch (currentMode) {
    case EffectMode::blur: {
      auto effectView = VisualEffectView::create(contentView->bounds());
      effectView->setAutoresizingMask(kViewWidthSizable | kViewHeightSizable);
      effectView->setMaterial(VisualEffectMaterial::hudWindow);
      effectView->setBlendingMode(VisualEffectBlendingMode::behindWindow);
      effectView->setState(VisualEffectState::active);
      effectView->setAlphaValue(intensity);
      contentView->addSubview(effectView);
      break;
    }
    case EffectMode::pixelate: {
      Rect frame = insetRect(contentView->bounds(), -kPixelateOverscan, -kPixelateOverscan);
      auto effectView = VisualEffectView::create(frame);
      effectView->setAutoresizingMask(kViewWidthSizable | kViewHeightSizable);
      effectView->setMaterial(VisualEffectMaterial::underWindowBackground);
      effectView->setBlendingMode(VisualEffectBlendingMode::behindWindow);
      effectView->setState(VisualEffectState::active);
      effectView->setWantsLayer(true);

      auto filter = Filter::filterWithName(kPixellateFilterName);
      if (filter) {
        filter->setDefaults();
        filter->setValue(intensity * kPixelateScalePerIntensity, kInputScaleKey);
        filter->setValue(FilterVector{midX(contentView->bounds()) + kPixelateOverscan,
                                      midY(contentView->bounds()) + kPixelateOverscan},
                         kInputCenterKey);
        if (Layer* effectLayer = effectView->layer()) effectLayer->setFilters({filter});
      }
      contentView->addSubview(effectView);
      break;
    }
    case EffectMode::dim:
      if (Layer* layer = contentView->layer()) {
        layer->setBackgroundColor(
            Color::blackColor().withAlphaComponent(intensity * kDimAlphaPerIntensity));
      }
      break;
  }
}

}  // namespace quillmere
