#include "platform/wayland/output_layout.h"

namespace platform::wayland {

namespace {

bool hasSize(const OutputPlacement& output) {
  return output.width > 0 && output.height > 0;
}

const OutputPlacement* primaryOf(const std::vector<OutputPlacement>& outputs) {
  for (const OutputPlacement& output : outputs) {
    if (hasSize(output)) return &output;
  }
  return nullptr;
}

Rect frameOf(const OutputPlacement& output, double primaryBottom) {
  return makeRect(output.x, primaryBottom - (double(output.y) + output.height), output.width,
                  output.height);
}

}  // namespace

std::vector<Rect> framesOf(const std::vector<OutputPlacement>& outputs) {
  std::vector<Rect> frames;
  const OutputPlacement* primary = primaryOf(outputs);
  if (primary == nullptr) return frames;
  const double primaryBottom = double(primary->y) + primary->height;
  for (const OutputPlacement& output : outputs) {
    if (hasSize(output)) frames.push_back(frameOf(output, primaryBottom));
  }
  return frames;
}

std::optional<std::size_t> outputForFrame(const std::vector<OutputPlacement>& outputs,
                                          const Rect& frame) {
  const OutputPlacement* primary = primaryOf(outputs);
  if (primary == nullptr) return std::nullopt;
  const double primaryBottom = double(primary->y) + primary->height;
  std::optional<std::size_t> holdingCentre;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    if (!hasSize(outputs[i])) continue;
    const Rect candidate = frameOf(outputs[i], primaryBottom);
    if (candidate == frame) return i;
    const double cx = midX(frame);
    const double cy = midY(frame);
    if (!holdingCentre && cx >= candidate.origin.x &&
        cx < candidate.origin.x + candidate.size.width && cy >= candidate.origin.y &&
        cy < candidate.origin.y + candidate.size.height) {
      holdingCentre = i;
    }
  }
  return holdingCentre;
}

}  // namespace platform::wayland
