#include "platform/wayland/stand_in_panel.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "platform/wayland/image_surface.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/wayland_protocols.h"

namespace platform::wayland {

namespace {
constexpr int kPanelSize = 24;
constexpr int kIconInset = 2;
const QColor kPanelBackground(0x2a, 0x2a, 0x2e);
}  // namespace

StandInPanel::StandInPanel(WaylandConnection& connection) : connection_(connection) {}

StandInPanel::~StandInPanel() = default;

void StandInPanel::setIcon(const QIcon& icon) {
  icon_ = icon;
  paint();
}

bool StandInPanel::isShown() const {
  return surface_ && surface_->isOpen();
}

void StandInPanel::show() {
  if (isShown()) return;
  surface_.reset();
  const auto& outputs = connection_.outputs();
  if (outputs.empty()) return;
  LayerPlacement corner;
  corner.layer = ZWLR_LAYER_SHELL_V1_LAYER_TOP;
  corner.anchor = ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;
  corner.width = kPanelSize;
  corner.height = kPanelSize;
  surface_ = std::make_unique<ImageSurface>(connection_, *outputs.front(), corner,
                                            static_cast<InputTarget*>(this));
  paint();
}

void StandInPanel::hide() {
  surface_.reset();
}

void StandInPanel::paint() {
  if (!isShown()) return;
  const int scale = std::max(1, surface_->output()->scale);
  QImage image(kPanelSize * scale, kPanelSize * scale, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale);
  image.fill(kPanelBackground);
  QPainter painter(&image);
  icon_.paint(&painter, QRect(0, 0, kPanelSize, kPanelSize)
                            .adjusted(kIconInset, kIconInset, -kIconInset, -kIconInset));
  painter.end();
  surface_->show(image);
}

void StandInPanel::pointerButton(double, double, bool pressed) {
  if (!pressed || !isShown()) return;
  const OutputPlacement place = surface_->output()->placement();
  emit clicked(QPointF(place.x + place.width - kPanelSize, place.y + kPanelSize));
}

}  // namespace platform::wayland
