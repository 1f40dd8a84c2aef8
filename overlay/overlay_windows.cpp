#include <vector>

#include "app/quillmere_app.h"
#include "platform/animation.h"
#include "platform/platform.h"

namespace quillmere {

using namespace platform;

namespace {
constexpr WindowLevel kInitialOverlayLevel = -1;
constexpr std::uint64_t kOverlayCollectionBehavior =
    kWindowCollectionBehaviorCanJoinAllSpaces | kWindowCollectionBehaviorStationary |
    kWindowCollectionBehaviorIgnoresCycle | kWindowCollectionBehaviorFullScreenAuxiliary;
static_assert(kOverlayCollectionBehavior == 0x151);
constexpr double kFadeInDuration = 0.5;
}  // namespace

// Covers every screen with a clear, click-through window that fades in with the effect.
void QuillmereApp::setupOverlay() {
  std::vector<Rect> screens = currentPlatform().screenFrames();
  if (screens.empty()) return;

  for (const Rect& screenFrame : screens) {
    auto window =
        Window::create(screenFrame, kWindowStyleMaskBorderless, BackingStoreType::buffered, false);
    window->setFrame(screenFrame, true);
    window->setBackgroundColor(Color::clearColor());
    window->setOpaque(false);
    window->setHasShadow(false);
    window->setIgnoresMouseEvents(true);
    window->setLevel(kInitialOverlayLevel);
    window->setCollectionBehavior(kOverlayCollectionBehavior);

    auto contentView = View::create(window->contentView()->bounds());
    contentView->setAutoresizingMask(kViewWidthSizable | kViewHeightSizable);
    contentView->setWantsLayer(true);
    window->setContentView(contentView);

    updateOverlayEffect(*window);

    window->setAlphaValue(0.0);
    window->orderFront();
    AnimationContext::runAnimationGroup([&window](AnimationContext& context) {
      context.setDuration(kFadeInDuration);
      window->animator().setAlphaValue(1.0);
    });

    overlayWindows.push_back(window);
  }
}

}  // namespace quillmere
