#pragma once

#include <cstdint>

namespace platform {
class View;
}

namespace platform::wayland {

// The one colour an overlay shows where its content is a plain fill (dim, or nothing), as a
// premultiplied ARGB8888 pixel with the window's alpha applied: the colour the renderer blends
// over what lies beneath, so both backends dim alike. Blur and pixellation need the pixels
// beneath; where no capture of the output can be had, they show their material's tint alone.
std::uint32_t overlayPixel(const View* contentView, double windowAlpha);

}  // namespace platform::wayland
