#include "platform/x11/paint/overlay_paint_engine.h"

#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/render/effect_layout.h"
#include "platform/x11/paint/beneath_scene.h"
#include "platform/x11/paint/overlay_target.h"
#include "platform/x11/paint/paint_connection.h"
#include "platform/x11/paint/root_background.h"

namespace platform::x11 {

namespace {

// At most 60 frames a second.
constexpr qint64 kFrameIntervalMs = 17;
// Past this many changes beneath within one frame the whole overlay is captured again.
constexpr std::size_t kMaxChanges = 64;

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

struct OverlayPaintEngine::State {
  struct Overlay {
    std::unique_ptr<OverlayTarget> target;
    double devicePixelRatio = 1.0;
    render::ContentSnapshot content;
    double alpha = 1.0;
    bool needsCapture = true;
    bool needsRender = true;
    bool captured = false;
    std::vector<render::PixelRect> changes;  // beneath, since the last capture; overlay pixels
    std::vector<render::PixelRect> rewritten;
  };

  State(OverlayPaintEngine* owner, const QByteArray& displayName);

  Overlay* find(xcb_window_t window);
  bool translucent(const Overlay& overlay) const;
  bool wantsBeneath(const Overlay& overlay) const;
  void markAll();
  void schedule();
  void frame();
  void prepareScene(const Overlay* showing = nullptr);
  void paint(Overlay& overlay, bool showing = false);
  bool renderChanges(Overlay& overlay);
  void show(Overlay& overlay);
  void setOpacityProperty(xcb_window_t window, double alpha);
  void updateCompositor();
  void drainEvents();
  void handleEvent(const xcb_generic_event_t* event);
  void handleDamage(const xcb_damage_notify_event_t& event);

  OverlayPaintEngine* owner;
  PaintConnection connection;
  RootBackground background{connection};
  BeneathScene scene{connection};
  render::EffectRenderer renderer;
  std::vector<Overlay> overlays;
  std::vector<OverlayPlace> places;
  std::unique_ptr<QSocketNotifier> notifier;
  QTimer frameTimer;
  QElapsedTimer sinceFrame;
  FrameCost cost;
  bool compositor = false;
  bool sceneDirty = true;
  bool backgroundDirty = true;
  bool lost = false;
};

OverlayPaintEngine::State::State(OverlayPaintEngine* owner, const QByteArray& displayName)
    : owner(owner), connection(displayName) {
  if (!connection.usable()) return;
  xcb_connection_t* c = connection.get();
  const std::uint32_t rootEvents =
      XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(c, connection.root(), XCB_CW_EVENT_MASK, &rootEvents);
  xcb_xfixes_select_selection_input(c, connection.root(), connection.compositorSelection(),
                                    XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
  compositor = connection.queryCompositorOwner();

  frameTimer.setSingleShot(true);
  frameTimer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&frameTimer, &QTimer::timeout, owner, [this] { frame(); });
  notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, owner, [this] { drainEvents(); });
  xcb_flush(c);
}

OverlayPaintEngine::State::Overlay* OverlayPaintEngine::State::find(xcb_window_t window) {
  const auto it = std::find_if(overlays.begin(), overlays.end(),
                               [window](const Overlay& o) { return o.target->window() == window; });
  return it == overlays.end() ? nullptr : &*it;
}

// With a compositor the window carries its own translucent content and the compositor blends
// it at the window's opacity; without one the window shows the final pixels.
bool OverlayPaintEngine::State::translucent(const Overlay& overlay) const {
  return compositor && overlay.target->hasAlphaChannel();
}

bool OverlayPaintEngine::State::wantsBeneath(const Overlay& overlay) const {
  return !translucent(overlay) || render::EffectRenderer::needsBeneath(overlay.content);
}

void OverlayPaintEngine::State::markAll() {
  for (Overlay& overlay : overlays) {
    overlay.needsCapture = true;
    overlay.needsRender = true;
  }
}

// Hidden overlays wait: showing one again paints it at once.
void OverlayPaintEngine::State::schedule() {
  const bool anyShown = std::any_of(overlays.begin(), overlays.end(),
                                    [](const Overlay& o) { return !o.target->hidden(); });
  if (lost || frameTimer.isActive() || !anyShown) return;
  const qint64 elapsed = sinceFrame.isValid() ? sinceFrame.elapsed() : kFrameIntervalMs;
  frameTimer.start(static_cast<int>(std::max<qint64>(0, kFrameIntervalMs - elapsed)));
}

void OverlayPaintEngine::State::prepareScene(const Overlay* showing) {
  const bool anyWantsBeneath =
      std::any_of(overlays.begin(), overlays.end(), [this, showing](const auto& o) {
        return (!o.target->hidden() || &o == showing) && wantsBeneath(o);
      });
  if (!anyWantsBeneath) return;
  if (backgroundDirty) {
    background.refresh();
    backgroundDirty = false;
  }
  if (sceneDirty) {
    scene.refresh(places);
    sceneDirty = false;
    for (Overlay& overlay : overlays) {
      if (scene.changedBeneath(overlay.target->window())) overlay.needsCapture = true;
    }
  }
}

void OverlayPaintEngine::State::frame() {
  if (lost) return;
  sinceFrame.restart();
  prepareScene();
  for (Overlay& overlay : overlays) paint(overlay);
  xcb_flush(connection.get());
  drainEvents();
}

// A hidden overlay keeps what it owes, and pays it when it is shown again.
void OverlayPaintEngine::State::paint(Overlay& overlay, bool showing) {
  OverlayTarget& target = *overlay.target;
  if ((target.hidden() && !showing) || lost) return;
  const auto start = std::chrono::steady_clock::now();
  const bool wants = wantsBeneath(overlay);
  if (!wants) target.releaseBeneath();
  bool changedOnly = false;
  if (wants && (overlay.needsCapture || !overlay.captured || !target.hasBeneath())) {
    scene.rearmDamage();
    overlay.captured = target.capture(scene, background);
    overlay.needsCapture = false;
    overlay.needsRender = true;
    overlay.changes.clear();
  } else if (wants && !overlay.changes.empty()) {
    scene.rearmDamage();
    changedOnly = target.captureAreas(scene, background, overlay.changes);
    overlay.captured = changedOnly;
    overlay.needsRender = overlay.needsRender || !changedOnly;
  }
  if (!overlay.needsRender && !changedOnly) return;
  const auto rendering = std::chrono::steady_clock::now();
  if (overlay.needsRender || !renderChanges(overlay)) {
    overlay.needsRender = false;
    const render::PixelBuffer out = target.output();
    if (translucent(overlay)) {
      renderer.renderWindowContent(overlay.content, target.beneath(), overlay.devicePixelRatio,
                                   out);
    } else {
      renderer.renderFinal(overlay.content, target.beneath(), overlay.devicePixelRatio,
                           overlay.alpha, out);
    }
    if (showing) target.setHidden(false, false);
    target.present();
  }
  if (wants) overlay.changes.clear();
  cost.renderMs = millisecondsSince(rendering);
  cost.captureMs = std::chrono::duration<double, std::milli>(rendering - start).count();
  ++cost.frames;
}

// Re-renders over the last frame what the changes beneath reach, and puts only that.
bool OverlayPaintEngine::State::renderChanges(Overlay& overlay) {
  OverlayTarget& target = *overlay.target;
  const bool blend = !translucent(overlay);
  if (blend && !(overlay.alpha > 0.0)) return false;
  const render::PixelBuffer out = target.lastOutput();
  if (out.pixels == nullptr) return false;
  const render::ConstPixelBuffer beneath = target.beneath();
  const render::EffectLayout layout =
      render::layoutEffect(overlay.content, out.width, out.height, overlay.devicePixelRatio,
                           blend ? overlay.alpha : 1.0);
  renderer.renderChanges(layout, &beneath, blend, overlay.changes, out, overlay.rewritten);
  target.presentAreas(overlay.rewritten);
  return true;
}

// The pixels are ready before the shape returns, so the window never shows stale or blank
// ones as it comes back.
void OverlayPaintEngine::State::show(Overlay& overlay) {
  sinceFrame.restart();  // this counts as a frame
  overlay.needsRender = true;
  prepareScene(&overlay);
  paint(overlay, true);
}

void OverlayPaintEngine::State::setOpacityProperty(xcb_window_t window, double alpha) {
  const double clamped = std::clamp(alpha, 0.0, 1.0);
  const auto value = static_cast<std::uint32_t>(std::llround(clamped * 0xffffffffu));
  xcb_change_property(connection.get(), XCB_PROP_MODE_REPLACE, window, connection.opacityAtom(),
                      XCB_ATOM_CARDINAL, 32, 1, &value);
}

void OverlayPaintEngine::State::updateCompositor() {
  const bool active = connection.queryCompositorOwner();
  if (active == compositor) return;
  compositor = active;
  sceneDirty = true;
  markAll();
  for (Overlay& overlay : overlays) {
    if (overlay.target->hidden()) overlay.target->setHidden(true, !translucent(overlay));
  }
  xcb_flush(connection.get());
  schedule();
}

void OverlayPaintEngine::State::drainEvents() {
  if (lost) return;
  xcb_connection_t* c = connection.get();
  while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
    handleEvent(event);
    std::free(event);
  }
  if (connection.broken()) {
    lost = true;
    frameTimer.stop();
    if (notifier) notifier->setEnabled(false);
    QMetaObject::invokeMethod(
        owner, [engine = owner] { emit engine->connectionLost(); }, Qt::QueuedConnection);
  }
}

void OverlayPaintEngine::State::handleEvent(const xcb_generic_event_t* event) {
  const std::uint8_t type = event->response_type & 0x7f;
  if (type == 0) return;  // errors: windows vanish at any moment, and that is normal
  if (type == connection.damageEventBase() + XCB_DAMAGE_NOTIFY) {
    handleDamage(*reinterpret_cast<const xcb_damage_notify_event_t*>(event));
    return;
  }
  if (type == connection.xfixesEventBase() + XCB_XFIXES_SELECTION_NOTIFY) {
    updateCompositor();
    return;
  }
  if (connection.hasShm() && type == connection.shmEventBase() + XCB_SHM_COMPLETION) {
    const auto* done = reinterpret_cast<const xcb_shm_completion_event_t*>(event);
    for (Overlay& overlay : overlays) overlay.target->writeCompleted(done->shmseg);
    return;
  }
  switch (type) {
    case XCB_EXPOSE: {
      const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event);
      Overlay* overlay = find(expose->window);
      if (expose->count == 0 && overlay != nullptr) {
        overlay->target->presentAgain();
        xcb_flush(connection.get());
      }
      return;
    }
    case XCB_PROPERTY_NOTIFY: {
      const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
      if (property->window == connection.root() &&
          background.isBackgroundProperty(property->atom)) {
        backgroundDirty = true;
        markAll();
        schedule();
      }
      return;
    }
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY:
    case XCB_DESTROY_NOTIFY:
    case XCB_CONFIGURE_NOTIFY:
    case XCB_REPARENT_NOTIFY:
    case XCB_CIRCULATE_NOTIFY:
    case XCB_GRAVITY_NOTIFY:
      // Most of these change nothing beneath an overlay; the refresh tells.
      sceneDirty = true;
      schedule();
      return;
    default:
      return;
  }
}

void OverlayPaintEngine::State::handleDamage(const xcb_damage_notify_event_t& event) {
  const std::optional<QRect> area = scene.damagedArea(event);
  if (!area) return;
  for (Overlay& overlay : overlays) {
    const QRect rect = overlay.target->rect();
    const QRect part = rect.intersected(*area).translated(-rect.topLeft());
    if (part.isEmpty() || overlay.needsCapture) continue;
    if (overlay.changes.size() >= kMaxChanges) {
      overlay.needsCapture = true;
      overlay.changes.clear();
      continue;
    }
    overlay.changes.push_back(
        {part.x(), part.y(), part.x() + part.width(), part.y() + part.height()});
  }
  schedule();
}

OverlayPaintEngine::OverlayPaintEngine(const QByteArray& displayName, QObject* parent)
    : QObject(parent), state_(std::make_unique<State>(this, displayName)) {}

OverlayPaintEngine::~OverlayPaintEngine() {
  state_->frameTimer.stop();
  state_->overlays.clear();
  state_->scene.clear();
  if (!state_->connection.broken()) xcb_flush(state_->connection.get());
}

bool OverlayPaintEngine::available() const {
  return state_->connection.usable() && !state_->lost;
}

void OverlayPaintEngine::addOverlay(xcb_window_t window, QRect geometry, double devicePixelRatio) {
  if (!available() || geometry.isEmpty()) return;
  removeOverlay(window);
  State::Overlay overlay;
  overlay.target = std::make_unique<OverlayTarget>(state_->connection, window, geometry);
  overlay.devicePixelRatio = devicePixelRatio > 0.0 ? devicePixelRatio : 1.0;
  overlay.alpha = overlay.target->hidden() ? 0.0 : 1.0;
  state_->overlays.push_back(std::move(overlay));
  state_->places.push_back({window, geometry});
  state_->sceneDirty = true;
  state_->schedule();
  state_->drainEvents();
}

void OverlayPaintEngine::removeOverlay(xcb_window_t window) {
  if (!available()) return;
  std::erase_if(state_->overlays,
                [window](const State::Overlay& o) { return o.target->window() == window; });
  std::erase_if(state_->places, [window](const OverlayPlace& p) { return p.window == window; });
  state_->sceneDirty = true;
  xcb_flush(state_->connection.get());
}

void OverlayPaintEngine::setContent(xcb_window_t window, const render::ContentSnapshot& content) {
  if (!available()) return;
  State::Overlay* overlay = state_->find(window);
  if (overlay == nullptr) return;
  overlay->content = content;
  overlay->needsRender = true;
  state_->schedule();
}

void OverlayPaintEngine::setWindowAlpha(xcb_window_t window, double alpha) {
  if (!available()) return;
  State::Overlay* overlay = state_->find(window);
  if (overlay == nullptr || alpha == overlay->alpha) return;
  overlay->alpha = alpha;
  OverlayTarget& target = *overlay->target;
  const bool showing = alpha > 0.0 && target.hidden();
  if (showing) state_->show(*overlay);
  // A compositor applies the opacity; an opaque window's final pixels hold the alpha already.
  // Raised only once the frame is there, so that no stale one shows.
  if (target.hasAlphaChannel()) state_->setOpacityProperty(window, alpha);
  if (alpha <= 0.0) {
    target.setHidden(true, !state_->translucent(*overlay));
  } else if (!showing && !state_->translucent(*overlay)) {
    overlay->needsRender = true;
    state_->schedule();
  }
  xcb_flush(state_->connection.get());
  state_->drainEvents();
}

void OverlayPaintEngine::stackingDidChange() {
  if (!available()) return;
  state_->sceneDirty = true;
  state_->schedule();
}

bool OverlayPaintEngine::compositorActive() const {
  return available() && state_->compositor;
}

OverlayPaintEngine::FrameCost OverlayPaintEngine::lastFrameCost() const {
  return state_->cost;
}

}  // namespace platform::x11
