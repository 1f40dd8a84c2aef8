#include "platform/render/effect_renderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/render/backdrop_blur.h"
#include "platform/render/effect_layout.h"
#include "platform/render/effect_reach.h"
#include "platform/render/materials.h"
#include "platform/render/pixellation.h"
#include "platform/render/row_kernels.h"
#include "platform/render/row_upsampler.h"

namespace platform::render {

struct EffectRenderer::Buffers {
  BackdropBlur blur;
  RowUpsampler upsampler;
  Pixellation pixellation;
  std::vector<std::uint16_t> addSamples;  // the blur's samples as add values
  std::vector<float> rendering;           // the pixellated view's samples, tinted
};

namespace {

template <typename Buffer>
bool usable(const Buffer& buffer) {
  return buffer.pixels != nullptr && buffer.width > 0 && buffer.height > 0 &&
         buffer.stride >= std::ptrdiff_t(buffer.width) * 4;
}

bool sameSize(const ConstPixelBuffer& a, const PixelBuffer& b) {
  return a.width == b.width && a.height == b.height;
}

using PixelAdd = std::array<std::uint16_t, 4>;

PixelAdd toPixelAdd(const Levels& levels) {
  return {toAdd(levels[0]), toAdd(levels[1]), toAdd(levels[2]), toAdd(levels[3])};
}

bool addsNothing(const Levels& levels) {
  return std::all_of(levels.begin(), levels.end(),
                     [](double level) { return toAdd(level) == toAdd(0.0); });
}

void copyRows(const ConstPixelBuffer& from, const PixelBuffer& to) {
  if (from.pixels == to.pixels && from.stride == to.stride) return;
  for (int y = 0; y < to.height; ++y) {
    std::memmove(to.pixels + y * to.stride, from.pixels + y * from.stride,
                 std::size_t(to.width) * 4);
  }
}

}  // namespace

EffectRenderer::EffectRenderer() : buffers_(std::make_unique<Buffers>()) {}

EffectRenderer::~EffectRenderer() = default;

bool EffectRenderer::needsBeneath(const ContentSnapshot& content) {
  if (!content.effectView) return false;
  const EffectViewSnapshot& view = *content.effectView;
  return view.blendingMode == VisualEffectBlendingMode::behindWindow && view.alpha > 0.0 &&
         view.frame.size.width > 0.0 && view.frame.size.height > 0.0;
}

void EffectRenderer::renderWindowContent(const ContentSnapshot& content,
                                         const ConstPixelBuffer& beneath, double devicePixelRatio,
                                         const PixelBuffer& out) {
  if (!usable(out)) return;
  const bool haveBeneath = usable(beneath) && sameSize(beneath, out);
  const EffectLayout layout = layoutEffect(content, out.width, out.height, devicePixelRatio, 1.0);
  renderLayout(layout, haveBeneath ? &beneath : nullptr, false, out);
}

void EffectRenderer::renderFinal(const ContentSnapshot& content, const ConstPixelBuffer& beneath,
                                 double devicePixelRatio, double windowAlpha,
                                 const PixelBuffer& out) {
  if (!usable(out) || !usable(beneath) || !sameSize(beneath, out)) return;
  if (!(windowAlpha > 0.0)) {  // a window at alpha 0 shows nothing at all
    copyRows(beneath, out);
    return;
  }
  const EffectLayout layout =
      layoutEffect(content, out.width, out.height, devicePixelRatio, windowAlpha);
  renderLayout(layout, &beneath, true, out);
}

void EffectRenderer::renderLayout(const EffectLayout& layout, const ConstPixelBuffer* beneath,
                                  bool blendBeneath, const PixelBuffer& out) {
  renderArea(layout, beneath, blendBeneath, out, PixelRect{0, 0, out.width, out.height});
}

void EffectRenderer::renderChanges(const EffectLayout& layout, const ConstPixelBuffer* beneath,
                                   bool blendBeneath, std::span<const PixelRect> changed,
                                   const PixelBuffer& out, std::vector<PixelRect>& rewritten) {
  rewritten.clear();
  if (!usable(out) || layout.width != out.width || layout.height != out.height) return;
  mergeReaches(layout, changed, rewritten);
  for (const PixelRect& area : rewritten) renderArea(layout, beneath, blendBeneath, out, area);
}

void EffectRenderer::renderArea(const EffectLayout& layout, const ConstPixelBuffer* beneath,
                                bool blendBeneath, const PixelBuffer& out,
                                const PixelRect& wanted) {
  if (!usable(out) || layout.width != out.width || layout.height != out.height) return;
  const PixelRect area = intersect(wanted, PixelRect{0, 0, out.width, out.height});
  if (area.empty()) return;
  if (beneath != nullptr && (!usable(*beneath) || !sameSize(*beneath, out))) beneath = nullptr;
  Buffers& b = *buffers_;
  const RowKernels& kernels = rowKernels();
  const bool blend = blendBeneath && beneath != nullptr;
  const std::uint32_t orMask = blend && beneath->alphaIsPadding ? kOpaqueMask : 0;

  const PixelAdd outsideAdd = toPixelAdd(layout.outsideAdd);
  const std::uint16_t outsideScale = toScale(layout.outsideScale);
  const bool outsideKeeps =
      blend && outsideScale == kUnitScale && orMask == 0 && addsNothing(layout.outsideAdd);

  // The part of the effect view drawn; the blur's samples are made for it alone.
  const PixelRect visible = intersect(layout.visible, area);
  const bool inside = layout.kind != EffectKind::none && !visible.empty();
  const std::uint16_t insideScale = toScale(layout.insideScale);
  BlurGrid grid;
  PixelAdd insideAdd{};
  if (inside && layout.kind == EffectKind::solid) {
    insideAdd = toPixelAdd(layout.insideAdd);
  } else if (inside && layout.kind == EffectKind::blur) {
    grid = blurWindow(layout, effectGrid(layout), visible);
    b.addSamples.resize(std::max(b.addSamples.size(), std::size_t(grid.columns) * grid.rows * 4));
    b.blur.start(beneath, layout.visible, grid, kernels);
    b.upsampler.prepare(grid, visible.x0, visible.x1);
  } else if (inside) {
    grid = blurWindow(layout, effectGrid(layout), visible);
    b.rendering.resize(std::max(b.rendering.size(), std::size_t(grid.columns) * grid.rows * 4));
    b.blur.start(beneath, layout.visible, grid, kernels);
    b.pixellation.prepare(layout, grid, visible);
  }

  std::size_t band = 0;
  const std::uint16_t* bandRow = nullptr;
  int tinted = 0;  // rows of the blur's samples tinted so far
  for (auto y = int(area.y0); y < area.y1; ++y) {
    const std::uint8_t* in = blend ? beneath->pixels + y * beneath->stride : nullptr;
    std::uint8_t* o = out.pixels + y * out.stride;
    auto outside = [&](std::int64_t x0, std::int64_t x1) {
      if (x1 <= x0) return;
      if (outsideKeeps) {
        if (o != in) std::memmove(o + x0 * 4, in + x0 * 4, std::size_t(x1 - x0) * 4);
        return;
      }
      kernels.blendConstant(o + x0 * 4, in == nullptr || outsideScale == 0 ? nullptr : in + x0 * 4,
                            int(x1 - x0), outsideScale, outsideAdd.data(), orMask);
    };
    if (!inside || y < visible.y0 || y >= visible.y1) {
      outside(area.x0, area.x1);
      continue;
    }
    outside(area.x0, visible.x0);
    std::uint8_t* spanOut = o + visible.x0 * 4;
    // Where nothing of what lies beneath shows through, it need not be read.
    const std::uint8_t* spanIn = in == nullptr || insideScale == 0 ? nullptr : in + visible.x0 * 4;
    const int n = int(visible.width());
    switch (layout.kind) {
      case EffectKind::solid:
        kernels.blendConstant(spanOut, spanIn, n, insideScale, insideAdd.data(), orMask);
        break;
      case EffectKind::blur: {
        // The blur's samples are made just ahead of the rows that need them.
        for (; tinted <= b.upsampler.lastSampleRow(y); ++tinted) {
          applyMaterialAsAdd(b.blur.nextRow(), std::size_t(grid.columns), layout.look,
                             layout.renderingWeight, layout.insideAdd,
                             b.addSamples.data() + std::size_t(tinted) * grid.columns * 4);
        }
        const RowUpsampler::Rows rows = b.upsampler.rowsAt(y, b.addSamples.data(), kernels);
        kernels.blendLerp(spanOut, spanIn, n, insideScale, rows.first, rows.second, rows.weight0,
                          rows.weight1, orMask);
        break;
      }
      case EffectKind::pixellate:
        while (y >= b.pixellation.bandEnd(band)) {
          ++band;
          bandRow = nullptr;
        }
        if (bandRow == nullptr) {
          // As for the blur, the samples are made just ahead of the band that needs them.
          const std::size_t stride = std::size_t(grid.columns) * 4;
          for (; tinted <= b.pixellation.lastSampleRow(band); ++tinted) {
            float* values = b.blur.nextRow();
            applyMaterial(values, std::size_t(grid.columns), layout.look);
            std::memcpy(b.rendering.data() + tinted * stride, values, stride * sizeof(float));
          }
          bandRow = b.pixellation.bandRow(band, b.rendering.data(), grid, layout);
        }
        kernels.blend(spanOut, spanIn, n, insideScale, bandRow, orMask);
        break;
      case EffectKind::none:
        break;
    }
    outside(visible.x1, area.x1);
  }
}

}  // namespace platform::render
