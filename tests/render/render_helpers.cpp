#include "render_helpers.h"

namespace platform::render::testing {

ContentSnapshot dimContent(Size size, double intensity) {
  ContentSnapshot content;
  content.size = size;
  content.layerBackgroundColor = Color::blackColor().withAlphaComponent(intensity * 0.9);
  return content;
}

ContentSnapshot blurContent(Size size, double intensity) {
  ContentSnapshot content;
  content.size = size;
  EffectViewSnapshot view;
  view.frame = Rect{{0.0, 0.0}, size};
  view.material = VisualEffectMaterial::hudWindow;
  view.alpha = intensity;
  content.effectView = view;
  return content;
}

ContentSnapshot pixelateContent(Size size, double intensity) {
  ContentSnapshot content;
  content.size = size;
  EffectViewSnapshot view;
  view.frame = insetRect(Rect{{0.0, 0.0}, size}, -100.0, -100.0);
  view.material = VisualEffectMaterial::underWindowBackground;
  view.pixellate =
      PixellateSnapshot{intensity * 60.0, {size.width / 2.0 + 100.0, size.height / 2.0 + 100.0}};
  content.effectView = view;
  return content;
}

Image plainEffect(const Image& image, EffectKind kind, double sigmaPixels, double squareSide) {
  EffectLayout layout;
  layout.width = image.width;
  layout.height = image.height;
  layout.kind = kind;
  layout.frame = layout.visible = {0, 0, image.width, image.height};
  layout.insideScale = 0.0;
  layout.renderingWeight = 1.0;
  layout.look = kClearLook;
  layout.sigmaPixels = sigmaPixels;
  layout.squares = {0.0, 0.0, squareSide};
  Image out(image.width, image.height);
  EffectRenderer renderer;
  const ConstPixelBuffer beneath = image.in();
  renderer.renderLayout(layout, &beneath, false, out.out());
  return out;
}

Image windowContent(const ContentSnapshot& content, const Image& beneath, double ratio,
                    bool alphaIsPadding) {
  Image out(beneath.width, beneath.height);
  EffectRenderer renderer;
  renderer.renderWindowContent(content, beneath.in(alphaIsPadding), ratio, out.out());
  return out;
}

Image finalPixels(const ContentSnapshot& content, const Image& beneath, double ratio,
                  double windowAlpha, bool alphaIsPadding) {
  Image out(beneath.width, beneath.height);
  EffectRenderer renderer;
  renderer.renderFinal(content, beneath.in(alphaIsPadding), ratio, windowAlpha, out.out());
  return out;
}

}  // namespace platform::render::testing
