#include "platform/qt/dotted_circle_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform::qt {

namespace {
constexpr int kDotCount = 8;
// The box of an icon holds a 16-point glyph; smaller point sizes leave a margin.
constexpr double kBoxPoints = 16.0;
const QColor kDotFill(0xf4, 0xf4, 0xf4);
const QColor kDotEdge(0x1e, 0x1e, 0x1e);

// Dot diameter as a share of the ring's diameter, by weight.
double dotShare(FontWeight weight) {
  switch (weight) {
    case FontWeight::regular:
      return 0.15;
    case FontWeight::medium:
      return 0.18;
    case FontWeight::bold:
      return 0.22;
  }
  return 0.18;
}

class DottedCircleEngine final : public QIconEngine {
 public:
  DottedCircleEngine(double pointSize, FontWeight weight)
      : pointSize_(pointSize), weight_(weight) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
             QIcon::State /*state*/) override {
    const double box = std::min(rect.width(), rect.height());
    if (box <= 0.0) return;
    const double glyph = box * std::clamp(pointSize_ / kBoxPoints, 0.1, 1.0);
    const double dot = glyph * dotShare(weight_);
    // The edge is one device pixel, or a little more on large icons.
    const double edge = std::max(1.0, box / 24.0);
    const double ringRadius = (glyph - dot - edge) / 2.0;
    const QPointF centre = QRectF(rect).center();

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(kDotEdge, edge));
    painter->setBrush(mode == QIcon::Disabled ? kDotFill.darker(140) : kDotFill);
    for (int i = 0; i < kDotCount; ++i) {
      const double angle = 2.0 * std::numbers::pi * i / kDotCount;
      const QPointF at(centre.x() + ringRadius * std::sin(angle),
                       centre.y() - ringRadius * std::cos(angle));
      painter->drawEllipse(at, dot / 2.0, dot / 2.0);
    }
    painter->restore();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    return pixmap;
  }

  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    QPixmap drawn = pixmap(size * scale, mode, state);
    drawn.setDevicePixelRatio(scale);
    return drawn;
  }

  QIconEngine* clone() const override { return new DottedCircleEngine(pointSize_, weight_); }
  QString key() const override { return QStringLiteral("DottedCircle"); }

 private:
  double pointSize_;
  FontWeight weight_;
};
}  // namespace

QIcon makeDottedCircleIcon(double pointSize, FontWeight weight) {
  return QIcon(new DottedCircleEngine(pointSize, weight));
}

QIcon statusItemIcon(const Image* image) {
  constexpr std::string_view kDottedCircleSymbol = "circle.dotted";
  constexpr double kDefaultSymbolPointSize = 13.0;
  if (image == nullptr) return {};
  if (image->symbolName() == kDottedCircleSymbol) {
    const auto config = image->symbolConfiguration().value_or(
        ImageSymbolConfiguration{kDefaultSymbolPointSize, FontWeight::medium});
    return makeDottedCircleIcon(config.pointSize, config.weight);
  }
  if (!image->filePath().empty()) {
    QPixmap pixmap(QString::fromStdString(image->filePath()));
    if (!pixmap.isNull()) return QIcon(pixmap);
  }
  return {};
}

}  // namespace platform::qt
