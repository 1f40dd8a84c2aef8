#pragma once

#include <cstdint>
#include <string>

#include "platform/wayland/output_layout.h"

struct wl_output;
struct zxdg_output_v1;

namespace platform::wayland {

// One output as the compositor describes it. Its place comes from xdg-output where the
// compositor has it, else from its current mode and scale at the origin.
struct WaylandOutput {
  std::uint32_t globalName = 0;
  wl_output* output = nullptr;
  zxdg_output_v1* xdgOutput = nullptr;
  std::string name;
  int scale = 1;
  int modeWidth = 0;
  int modeHeight = 0;
  bool haveLogical = false;
  OutputPlacement logical;
  bool done = false;  // the first complete description has arrived

  // Its place in logical space; no size until described.
  OutputPlacement placement() const;
};

}  // namespace platform::wayland
