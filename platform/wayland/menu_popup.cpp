#include "platform/wayland/menu_popup.h"

#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QWidgetAction>
#include <algorithm>

#include "platform/qt/tray_menu.h"
#include "platform/wayland/image_surface.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/wayland_protocols.h"

namespace platform::wayland {

namespace {
constexpr std::uint32_t kAllEdges =
    ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;

// A row that a click or Return chooses: no separator, no custom view, enabled.
bool isChoosableRow(const QAction* action) {
  return action != nullptr && !action->isSeparator() && action->isEnabled() &&
         qobject_cast<const QWidgetAction*>(action) == nullptr;
}

QImage transparentPixel() {
  QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
  pixel.fill(Qt::transparent);
  return pixel;
}
}  // namespace

MenuPopup::MenuPopup(WaylandConnection& connection, qt::TrayMenu& menu,
                     std::function<bool(const Event&)> localKeyDown)
    : connection_(connection), menu_(menu), localKeyDown_(std::move(localKeyDown)) {}

MenuPopup::~MenuPopup() {
  close();
}

QMenu& MenuPopup::qmenu() const {
  return menu_.menu();
}

const WaylandOutput* MenuPopup::outputAt(QPointF point) const {
  const WaylandOutput* first = nullptr;
  for (const auto& output : connection_.outputs()) {
    const OutputPlacement place = output->placement();
    if (place.width <= 0 || place.height <= 0) continue;
    if (first == nullptr) first = output.get();
    if (point.x() >= place.x && point.x() < place.x + place.width && point.y() >= place.y &&
        point.y() < place.y + place.height) {
      return output.get();
    }
  }
  return first;
}

void MenuPopup::openAt(QPointF point) {
  const WaylandOutput* output = outputAt(point);
  if (output == nullptr) return;
  const QSize size = qmenu().sizeHint();
  const OutputPlacement place = output->placement();
  LayerPlacement placement;
  placement.anchor = ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT;
  placement.marginLeft =
      std::clamp(int(point.x()) - place.x, 0, std::max(0, place.width - size.width()));
  placement.marginTop =
      std::clamp(int(point.y()) - place.y, 0, std::max(0, place.height - size.height()));
  open(*output, placement);
}

void MenuPopup::openBesideTray(const std::string& outputName) {
  const WaylandOutput* chosen = nullptr;
  for (const auto& output : connection_.outputs()) {
    if (!outputName.empty() && output->name == outputName) chosen = output.get();
  }
  if (chosen == nullptr) chosen = outputAt(QPointF(-1e9, -1e9));  // the first output
  if (chosen == nullptr) return;
  LayerPlacement placement;
  placement.anchor = ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;
  placement.exclusiveZone = 0;
  open(*chosen, placement);
}

void MenuPopup::open(const WaylandOutput& output, LayerPlacement placement) {
  close();
  if (menu_.isEmpty() || connection_.seat() == nullptr) return;
  QMenu& menu = qmenu();
  menu_.prepareToShow();
  menu.ensurePolished();
  menu.setActiveAction(nullptr);
  const QSize size = menu.sizeHint();
  menu.resize(size);
  scale_ = std::max(1, output.scale);

  placement.layer = ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY;
  placement.width = size.width();
  placement.height = size.height();
  placement.takesKeyboard = true;
  menuSurface_ = std::make_unique<ImageSurface>(connection_, output, placement,
                                                static_cast<InputTarget*>(this));

  // The catchers come after the menu: sway stacks the surfaces of one layer newest below.
  // WORKAROUND(kwin): KWin stacks them newest above, so the catchers would take the menu's
  // clicks; there they lie a layer lower.
  for (const auto& each : connection_.outputs()) {
    LayerPlacement everywhere;
    everywhere.layer =
        connection_.isKWin() ? ZWLR_LAYER_SHELL_V1_LAYER_TOP : ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY;
    everywhere.anchor = kAllEdges;
    everywhere.stretched = true;
    auto catcher = std::make_unique<ImageSurface>(connection_, *each, everywhere, &outside_);
    catcher->show(transparentPixel());
    catchers_.push_back(std::move(catcher));
  }

  // A surface that the compositor closed (its output went away) takes the menu with it, once
  // its own handler has returned.
  connect(menuSurface_.get(), &ImageSurface::closed, this, &MenuPopup::close, Qt::QueuedConnection);
  for (auto& catcher : catchers_) {
    connect(catcher.get(), &ImageSurface::closed, this, &MenuPopup::close, Qt::QueuedConnection);
  }
  render();
  emit opened();
}

void MenuPopup::close() {
  if (!menuSurface_ && catchers_.empty()) return;
  pressed_ = nullptr;
  qmenu().setActiveAction(nullptr);
  // Surfaces closed here must not close a menu opened after them.
  if (menuSurface_) menuSurface_->disconnect(this);
  for (auto& catcher : catchers_) catcher->disconnect(this);
  menuSurface_.reset();
  catchers_.clear();
  emit closedMenu();
}

void MenuPopup::render() {
  if (!menuSurface_) return;
  QMenu& menu = qmenu();
  QImage image(menu.size() * scale_, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale_);
  image.fill(Qt::transparent);
  menu.render(&image);
  menuSurface_->show(image);
}

void MenuPopup::highlight(QAction* action) {
  if (!isChoosableRow(action)) action = nullptr;
  if (qmenu().activeAction() == action) return;
  qmenu().setActiveAction(action);
  render();
}

void MenuPopup::moveHighlight(int step) {
  const QList<QAction*> actions = qmenu().actions();
  if (actions.isEmpty()) return;
  const auto count = actions.size();
  qsizetype index = actions.indexOf(qmenu().activeAction());
  if (index < 0) index = step > 0 ? -1 : count;
  for (qsizetype tried = 0; tried < count; ++tried) {
    index = (index + step + count) % count;
    if (isChoosableRow(actions[index])) return highlight(actions[index]);
  }
}

// The menu goes away first, then the action runs, as with any menu.
void MenuPopup::choose(QAction* action) {
  if (!isChoosableRow(action)) return;
  QPointer<QAction> chosen = action;
  close();
  if (chosen) chosen->trigger();
}

void MenuPopup::sendMouse(QWidget* widget, int type, QPointF position) {
  const QPointF local = widget->mapFrom(&qmenu(), position.toPoint());
  const bool down = type != QEvent::MouseButtonRelease;
  QMouseEvent event(QEvent::Type(type), local, local, position,
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                    down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &event);
}

void MenuPopup::pointerMoved(double x, double y) {
  const QPointF position(x, y);
  if (pressed_) {
    sendMouse(pressed_, QEvent::MouseMove, position);
    render();
    return;
  }
  highlight(qmenu().actionAt(position.toPoint()));
}

void MenuPopup::pointerLeft() {
  if (!pressed_) highlight(nullptr);
}

void MenuPopup::pointerButton(double x, double y, bool pressed) {
  const QPointF position(x, y);
  if (pressed) {
    QWidget* child = qmenu().childAt(position.toPoint());
    if (child == nullptr) return;
    pressed_ = child;
    sendMouse(child, QEvent::MouseButtonPress, position);
    render();
    return;
  }
  if (pressed_) {
    QPointer<QWidget> widget = pressed_;
    pressed_ = nullptr;
    sendMouse(widget, QEvent::MouseButtonRelease, position);
    render();
    return;
  }
  choose(qmenu().actionAt(position.toPoint()));
}

// Escape closes; the arrows and Return walk the rows; other keys go to the local monitors,
// then to the items' key equivalents.
void MenuPopup::keyPressed(const KeyPress& key) {
  const int qtKey = qtKeyFor(key.symbol);
  const bool plain = !key.super && !key.control && !key.alt;
  if (plain) {
    switch (qtKey) {
      case Qt::Key_Escape:
        return close();
      case Qt::Key_Down:
        return moveHighlight(1);
      case Qt::Key_Up:
        return moveHighlight(-1);
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Space:
        return choose(qmenu().activeAction());
      default:
        break;
    }
  }
  QPointer<MenuPopup> alive = this;
  if (localKeyDown_ && localKeyDown_(keyDownEventFor(key))) {
    if (alive) render();
    return;
  }
  auto item = menu_.itemForKeyEquivalent(qtKey, qtModifiersFor(key));
  if (!item || !menu_.isChoosable(*item)) return;
  close();
  menu_.choose(item);
}

}  // namespace platform::wayland
