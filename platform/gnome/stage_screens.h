#pragma once

#include <cstddef>
#include <vector>

#include "platform/geometry.h"

namespace platform::gnome {

// A monitor on GNOME Shell's stage: logical pixels, top-left origin, y down.
struct StageRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The monitors' frames in global points (bottom-left origin of the primary, y up), the primary
// first; monitors without a size are left out.
std::vector<Rect> globalFramesOf(const std::vector<StageRect>& monitors, std::size_t primary);

// Where the primary monitor's bottom edge lies on the stage: global y = it - stage y.
double primaryBottomOf(const std::vector<StageRect>& monitors, std::size_t primary);

}  // namespace platform::gnome
