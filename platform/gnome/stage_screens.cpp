#include "platform/gnome/stage_screens.h"

namespace platform::gnome {

double primaryBottomOf(const std::vector<StageRect>& monitors, std::size_t primary) {
  if (primary >= monitors.size()) return 0.0;
  return double(monitors[primary].y) + monitors[primary].height;
}

std::vector<Rect> globalFramesOf(const std::vector<StageRect>& monitors, std::size_t primary) {
  std::vector<Rect> frames;
  if (primary >= monitors.size()) return frames;
  const double bottom = primaryBottomOf(monitors, primary);
  auto add = [&](const StageRect& m) {
    if (m.width <= 0 || m.height <= 0) return;
    frames.push_back({{double(m.x), bottom - m.y - m.height}, {double(m.width), double(m.height)}});
  };
  add(monitors[primary]);
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    if (i != primary) add(monitors[i]);
  }
  return frames;
}

}  // namespace platform::gnome
