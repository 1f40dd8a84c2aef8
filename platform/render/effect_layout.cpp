#include "platform/render/effect_layout.h"

#include <algorithm>
#include <cmath>

namespace platform::render {

namespace {

// Far past any screen, and small enough that pixel arithmetic cannot overflow.
constexpr double kPixelLimit = double(1 << 30);

double unit(double value) {
  return value > 0.0 ? std::min(value, 1.0) : 0.0;
}

bool finite(const Rect& rect) {
  return std::isfinite(rect.origin.x) && std::isfinite(rect.origin.y) &&
         std::isfinite(rect.size.width) && std::isfinite(rect.size.height);
}

Levels scaled(const Levels& levels, double factor) {
  return {levels[0] * factor, levels[1] * factor, levels[2] * factor, levels[3] * factor};
}

// `top` over `below`, both premultiplied.
Levels over(const Levels& top, const Levels& below) {
  const double keep = 1.0 - top[3] / 255.0;
  return {top[0] + below[0] * keep, top[1] + below[1] * keep, top[2] + below[2] * keep,
          top[3] + below[3] * keep};
}

void layOutSquares(EffectLayout& layout, const EffectViewSnapshot& view, double contentHeight,
                   double ratio) {
  const PixellateSnapshot& filter = *view.pixellate;
  double side = filter.scale * ratio;
  side = std::isfinite(side) ? std::clamp(side, 1.0, kPixelLimit) : 1.0;
  double x = (view.frame.origin.x + filter.center.x) * ratio;
  double y = (contentHeight - (view.frame.origin.y + filter.center.y)) * ratio;
  // The grid repeats every side, so a far origin moves by whole squares towards the screen.
  layout.squares = {std::isfinite(x) ? std::fmod(x, side) : 0.0,
                    std::isfinite(y) ? std::fmod(y, side) : 0.0, side};
}

}  // namespace

PixelRect intersect(const PixelRect& a, const PixelRect& b) {
  return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

std::int64_t roundToPixel(double pixels) {
  return static_cast<std::int64_t>(std::floor(std::clamp(pixels, -kPixelLimit, kPixelLimit) + 0.5));
}

std::int64_t gridLine(double origin, double side, std::int64_t k) {
  return roundToPixel(origin + double(k) * side);
}

EffectLayout layoutEffect(const ContentSnapshot& content, int width, int height,
                          double devicePixelRatio, double windowAlpha) {
  EffectLayout layout;
  layout.width = std::max(width, 0);
  layout.height = std::max(height, 0);
  const double ratio =
      std::isfinite(devicePixelRatio) && devicePixelRatio > 0.0 ? devicePixelRatio : 1.0;
  const double alpha = unit(windowAlpha);

  const Levels fill =
      content.layerBackgroundColor ? premultipliedLevels(*content.layerBackgroundColor) : Levels{};
  layout.outsideAdd = scaled(fill, alpha);
  layout.outsideScale = 1.0 - alpha * fill[3] / 255.0;

  if (!content.effectView) return layout;
  const EffectViewSnapshot& view = *content.effectView;
  const double viewAlpha = unit(view.alpha);
  if (viewAlpha == 0.0 || !finite(view.frame)) return layout;

  // Frames count from the content view's bottom-left corner, y upwards; rows from its top.
  const double contentHeight = std::isfinite(content.size.height) && content.size.height > 0.0
                                   ? content.size.height
                                   : height / ratio;
  const Rect& f = view.frame;
  layout.frame = {roundToPixel(f.origin.x * ratio),
                  roundToPixel((contentHeight - f.origin.y - f.size.height) * ratio),
                  roundToPixel((f.origin.x + f.size.width) * ratio),
                  roundToPixel((contentHeight - f.origin.y) * ratio)};
  layout.visible = intersect(layout.frame, PixelRect{0, 0, layout.width, layout.height});
  if (layout.visible.empty()) return layout;

  layout.look = materialLook(view.material);
  if (view.blendingMode == VisualEffectBlendingMode::withinWindow) {
    // Within the window there is only the content view's own fill behind the effect view.
    const Levels rendering = applyMaterial(fill, layout.look);
    const Levels inside = over(scaled(rendering, viewAlpha), fill);
    layout.kind = EffectKind::solid;
    layout.insideAdd = scaled(inside, alpha);
    layout.insideScale = 1.0 - alpha * inside[3] / 255.0;
    return layout;
  }

  layout.kind = view.pixellate ? EffectKind::pixellate : EffectKind::blur;
  layout.renderingWeight = alpha * viewAlpha;
  layout.insideAdd = scaled(fill, alpha * (1.0 - viewAlpha));
  layout.insideScale = 1.0 - alpha * (viewAlpha + (1.0 - viewAlpha) * fill[3] / 255.0);
  layout.sigmaPixels = std::min(kBlurSigmaPoints * ratio, kMaxSigmaPixels);
  if (view.pixellate) layOutSquares(layout, view, contentHeight, ratio);
  return layout;
}

}  // namespace platform::render
