#include "platform/wayland/overlay_pixel.h"

#include <algorithm>
#include <cmath>

#include "platform/render/effect_layout.h"
#include "platform/render/effect_renderer.h"

namespace platform::wayland {

namespace {

std::uint32_t level(double value) {
  return static_cast<std::uint32_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

}  // namespace

std::uint32_t overlayPixel(const View* contentView, double windowAlpha) {
  const render::ContentSnapshot content = render::snapshotContent(contentView);
  const render::EffectLayout layout = render::layoutEffect(content, 1, 1, 1.0, windowAlpha);
  render::Levels bgra = layout.outsideAdd;
  const bool readsBeneath =
      layout.kind == render::EffectKind::blur || layout.kind == render::EffectKind::pixellate;
  if (readsBeneath && !layout.visible.empty()) {
    // Without the pixels beneath, the blur and the squares show their material's tint alone.
    const Color& tint = layout.look.tint;
    const double weight = layout.renderingWeight * tint.alpha * 255.0;
    const render::Levels tinted{tint.blue * weight, tint.green * weight, tint.red * weight, weight};
    for (std::size_t i = 0; i < bgra.size(); ++i) bgra[i] = layout.insideAdd[i] + tinted[i];
  }
  return level(bgra[3]) << 24 | level(bgra[2]) << 16 | level(bgra[1]) << 8 | level(bgra[0]);
}

}  // namespace platform::wayland
