#include <array>
#include <variant>

#include "platform/filter.h"
#include "platform/render/effect_renderer.h"

namespace platform::render {

namespace {

// The pixellate filter's inputs; one never set, or of the wrong kind, takes the filter's default.
PixellateSnapshot readPixellate(const Filter& filter) {
  Filter defaults(filter.name());
  defaults.setDefaults();
  const std::array<const Filter*, 2> sources{&filter, &defaults};
  auto number = [&](std::string_view key) {
    for (const Filter* source : sources) {
      std::optional<FilterValue> value = source->value(key);
      if (value && std::holds_alternative<double>(*value)) return std::get<double>(*value);
    }
    return 0.0;
  };
  auto vector = [&](std::string_view key) {
    for (const Filter* source : sources) {
      std::optional<FilterValue> value = source->value(key);
      if (value && std::holds_alternative<FilterVector>(*value)) {
        return std::get<FilterVector>(*value);
      }
    }
    return FilterVector{};
  };
  return {number(kInputScaleKey), vector(kInputCenterKey)};
}

}  // namespace

ContentSnapshot snapshotContent(const View* contentView) {
  ContentSnapshot snapshot;
  if (contentView == nullptr) return snapshot;
  snapshot.size = contentView->frame().size;
  if (const Layer* layer = contentView->layer()) {
    snapshot.layerBackgroundColor = layer->backgroundColor();
  }
  // The topmost visual-effect view is the one that shows.
  const auto& subviews = contentView->subviews();
  for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
    const auto* view = dynamic_cast<const VisualEffectView*>(it->get());
    if (view == nullptr) continue;
    EffectViewSnapshot effect;
    effect.frame = view->frame();
    effect.material = view->material();
    effect.blendingMode = view->blendingMode();
    effect.state = view->state();
    effect.alpha = view->alphaValue();
    if (const Layer* layer = view->layer()) {
      for (const auto& filter : layer->filters()) {
        if (filter && filter->name() == kPixellateFilterName) {
          effect.pixellate = readPixellate(*filter);
          break;
        }
      }
    }
    snapshot.effectView = effect;
    break;
  }
  return snapshot;
}

}  // namespace platform::render
