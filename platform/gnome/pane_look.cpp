#include "platform/gnome/pane_look.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <cmath>

#include "platform/qt/window_report.h"
#include "platform/render/effect_layout.h"

namespace platform::gnome {

namespace {

// What the extension accepts; anything beyond is clamped here rather than refused there.
constexpr double kMaxSide = 32768.0;
constexpr double kMaxOffset = 65536.0;

int clampedInt(double value, double low, double high) {
  if (!std::isfinite(value)) return 0;
  return static_cast<int>(std::lround(std::clamp(value, low, high)));
}

double unit(double value) {
  return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
}

std::array<double, 4> rgba(const Color& color) {
  return {unit(color.red), unit(color.green), unit(color.blue), unit(color.alpha)};
}

QList<double> listOf(const std::array<double, 4>& values) {
  return {values[0], values[1], values[2], values[3]};
}

}  // namespace

int stackLayerForLevel(WindowLevel level) {
  int chosen = 0;
  for (int layer : {0, 1, 2, 4, 7}) {
    if (qt::levelOfStackLayer(layer) <= level) chosen = layer;
  }
  return chosen;
}

Rect stageRectOf(const Rect& frame, double primaryBottom) {
  return {{frame.origin.x, primaryBottom - frame.origin.y - frame.size.height}, frame.size};
}

PaneLook paneLookOf(const render::ContentSnapshot& content, const Rect& stage, bool shown,
                    WindowLevel level) {
  PaneLook look;
  look.x = clampedInt(stage.origin.x, -kMaxOffset, kMaxOffset);
  look.y = clampedInt(stage.origin.y, -kMaxOffset, kMaxOffset);
  look.width = clampedInt(stage.size.width, 0.0, kMaxSide);
  look.height = clampedInt(stage.size.height, 0.0, kMaxSide);
  look.shown = shown;
  look.layer = stackLayerForLevel(level);
  if (content.layerBackgroundColor) look.fill = rgba(*content.layerBackgroundColor);

  const render::EffectLayout layout =
      render::layoutEffect(content, look.width, look.height, 1.0, 1.0);
  if (layout.kind != render::EffectKind::blur && layout.kind != render::EffectKind::pixellate) {
    return look;
  }
  look.kind = layout.kind == render::EffectKind::blur ? "blur" : "pixellate";
  look.sigma = std::clamp(layout.sigmaPixels, 0.0, render::kMaxSigmaPixels);
  look.tint = rgba(layout.look.tint);
  look.saturation =
      std::isfinite(layout.look.saturation) ? std::clamp(layout.look.saturation, 0.0, 4.0) : 1.0;
  look.weight = unit(content.effectView->alpha);
  if (layout.kind == render::EffectKind::pixellate) {
    // The grid's origin counts from the pane's top-left corner; the extension wants it on the
    // stage.
    look.squareSide = std::clamp(layout.squares.side, 1.0, 4096.0);
    look.squareOriginX = look.x + layout.squares.originX;
    look.squareOriginY = look.y + layout.squares.originY;
  }
  return look;
}

QVariantMap changedKeys(const PaneLook* sent, const PaneLook& next) {
  QVariantMap keys;
  auto put = [&](const char* key, auto PaneLook::*member, auto value) {
    if (sent == nullptr || sent->*member != next.*member) keys.insert(QLatin1String(key), value);
  };
  put("x", &PaneLook::x, next.x);
  put("y", &PaneLook::y, next.y);
  put("width", &PaneLook::width, next.width);
  put("height", &PaneLook::height, next.height);
  put("shown", &PaneLook::shown, next.shown);
  put("layer", &PaneLook::layer, next.layer);
  put("kind", &PaneLook::kind, QString::fromStdString(next.kind));
  put("fill", &PaneLook::fill, QVariant::fromValue(listOf(next.fill)));
  put("sigma", &PaneLook::sigma, next.sigma);
  put("tint", &PaneLook::tint, QVariant::fromValue(listOf(next.tint)));
  put("saturation", &PaneLook::saturation, next.saturation);
  put("weight", &PaneLook::weight, next.weight);
  put("squareSide", &PaneLook::squareSide, next.squareSide);
  put("squareOriginX", &PaneLook::squareOriginX, next.squareOriginX);
  put("squareOriginY", &PaneLook::squareOriginY, next.squareOriginY);
  return keys;
}

}  // namespace platform::gnome
