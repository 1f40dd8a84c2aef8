#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/geometry.h"

namespace platform::wayland {

// An output's place in the compositor's logical space (top-left origin, y down, in logical
// pixels, which are our points) and its buffer scale.
struct OutputPlacement {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int scale = 1;
};

// The outputs' frames in global points: origin at the bottom-left corner of the primary
// output (the first one listed), y upwards. Outputs without a size are left out.
std::vector<Rect> framesOf(const std::vector<OutputPlacement>& outputs);

// The index of the output a window frame covers: the one with exactly that frame, else the one
// holding the frame's centre; none when no output does.
std::optional<std::size_t> outputForFrame(const std::vector<OutputPlacement>& outputs,
                                          const Rect& frame);

}  // namespace platform::wayland
