#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/color.h"
#include "platform/geometry.h"
#include "platform/view.h"

namespace platform::render {

struct EffectLayout;

// A half-open rectangle of pixels; rows run top-down. May reach past the screen.
struct PixelRect {
  std::int64_t x0 = 0;
  std::int64_t y0 = 0;
  std::int64_t x1 = 0;
  std::int64_t y1 = 0;

  std::int64_t width() const { return x1 > x0 ? x1 - x0 : 0; }
  std::int64_t height() const { return y1 > y0 ? y1 - y0 : 0; }
  bool empty() const { return width() == 0 || height() == 0; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

PixelRect intersect(const PixelRect& a, const PixelRect& b);

// 8-bit premultiplied BGRA pixels, rows `stride` bytes apart, as X servers deliver them.
struct PixelBuffer {
  std::uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;
};

struct ConstPixelBuffer {
  const std::uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;
  // Depth-24 sources: the fourth byte is padding and counts as opaque.
  bool alphaIsPadding = false;
};

// The pixellate filter on an effect view's layer, in points and in the effect view's own
// coordinates.
struct PixellateSnapshot {
  double scale = 0.0;
  FilterVector center;
};

// A visual-effect view inside the overlay's content view.
struct EffectViewSnapshot {
  Rect frame;  // in the content view's coordinates, points
  VisualEffectMaterial material = VisualEffectMaterial::underWindowBackground;
  VisualEffectBlendingMode blendingMode = VisualEffectBlendingMode::behindWindow;
  VisualEffectState state = VisualEffectState::active;  // every state is drawn alike
  double alpha = 1.0;
  std::optional<PixellateSnapshot> pixellate;
};

// What one overlay shows, read from its content view: everything the renderer needs and
// nothing that can change under it.
struct ContentSnapshot {
  Size size;  // the content view's size in points
  std::optional<Color> layerBackgroundColor;
  std::optional<EffectViewSnapshot> effectView;
};

// Reads the snapshot from a content view; a null view, a view without a layer or a filter that
// is not the pixellate filter contributes nothing. Of several visual-effect views the topmost
// counts.
ContentSnapshot snapshotContent(const View* contentView);

// Turns what lies beneath an overlay into what the overlay shows. Keeps its working buffers
// across frames and sizes, so a frame allocates nothing once they exist. Not thread-safe; it
// may use one helper thread of its own where that pays.
class EffectRenderer final {
 public:
  EffectRenderer();
  ~EffectRenderer();
  EffectRenderer(const EffectRenderer&) = delete;
  EffectRenderer& operator=(const EffectRenderer&) = delete;

  // (a) The window's own content, premultiplied and possibly translucent, for a compositor
  // to blend at the window's alpha. `beneath` and `out` are the overlay's region in pixels.
  // A `beneath` that is empty or of another size than `out` counts as black.
  void renderWindowContent(const ContentSnapshot& content, const ConstPixelBuffer& beneath,
                           double devicePixelRatio, const PixelBuffer& out);

  // (b) The final opaque pixels: (a) composited over `beneath` at the window's alpha. At
  // alpha 0 `out` equals `beneath` bit for bit. `out` may alias `beneath`. Does nothing when
  // `beneath` is empty or of another size than `out`.
  void renderFinal(const ContentSnapshot& content, const ConstPixelBuffer& beneath,
                   double devicePixelRatio, double windowAlpha, const PixelBuffer& out);

  // Either of the above for a layout made by layoutEffect (effect_layout.h): blends over
  // `beneath` when `blendBeneath`, else writes the window's own content. `beneath` may be null
  // where the layout does not blur.
  void renderLayout(const EffectLayout& layout, const ConstPixelBuffer* beneath, bool blendBeneath,
                    const PixelBuffer& out);

  // renderLayout for an `out` that already holds this layout over an earlier `beneath`, which
  // has since changed only within the `changed` rectangles: rewrites just the pixels those
  // changes can reach and lists them in `rewritten`, overlapping ones merged. Blur may differ
  // from a whole frame by a level where its running sums start elsewhere.
  void renderChanges(const EffectLayout& layout, const ConstPixelBuffer* beneath, bool blendBeneath,
                     std::span<const PixelRect> changed, const PixelBuffer& out,
                     std::vector<PixelRect>& rewritten);

  // Whether (a) for this content needs the pixels beneath at all (dim does not).
  static bool needsBeneath(const ContentSnapshot& content);

 private:
  struct Buffers;
  void renderArea(const EffectLayout& layout, const ConstPixelBuffer* beneath, bool blendBeneath,
                  const PixelBuffer& out, const PixelRect& area);
  std::unique_ptr<Buffers> buffers_;
};

}  // namespace platform::render
