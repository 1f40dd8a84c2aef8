#pragma once

#include <QVariantMap>
#include <array>
#include <cstdint>
#include <string>

#include "platform/geometry.h"
#include "platform/render/effect_renderer.h"
#include "platform/window.h"

namespace platform::gnome {

// Everything the extension's SetPane takes for one overlay pane, in stage coordinates (global
// logical pixels, top-left origin, y down).
struct PaneLook {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool shown = false;
  int layer = 0;
  std::string kind = "none";  // none, blur or pixellate
  std::array<double, 4> fill{};
  double sigma = 0.0;
  std::array<double, 4> tint{};
  double saturation = 1.0;
  double weight = 0.0;
  double squareSide = 1.0;
  double squareOriginX = 0.0;
  double squareOriginY = 0.0;
  friend bool operator==(const PaneLook&, const PaneLook&) = default;
};

// The Mutter stack layer a pane at `level` stands on: the highest of desktop (0), bottom (1),
// normal (2), top (4) and override-redirect (7) whose window level is not above `level`; 0
// when every one is.
int stackLayerForLevel(WindowLevel level);

// A frame in global points (bottom-left origin, y up) in stage coordinates, given where the
// primary screen's bottom edge lies on the stage.
Rect stageRectOf(const Rect& frame, double primaryBottom);

// The pane's look for an overlay of `content` whose frame lies at `stage`, without the alpha,
// which travels on its own.
PaneLook paneLookOf(const render::ContentSnapshot& content, const Rect& stage, bool shown,
                    WindowLevel level);

// The SetPane keys that differ between `sent` (the look the extension has) and `next`; every
// key when nothing was sent yet.
QVariantMap changedKeys(const PaneLook* sent, const PaneLook& next);

}  // namespace platform::gnome
