#pragma once

#include <QIcon>
#include <QObject>
#include <QPointF>
#include <memory>

#include "platform/wayland/wayland_seat.h"

namespace platform::wayland {

class ImageSurface;
class WaylandConnection;

// The status icon while no tray host runs: a small square at the top-right of the first output,
// above windows, that takes clicks but never the keyboard.
class StandInPanel final : public QObject, private InputTarget {
  Q_OBJECT

 public:
  explicit StandInPanel(WaylandConnection& connection);
  ~StandInPanel() override;
  StandInPanel(const StandInPanel&) = delete;
  StandInPanel& operator=(const StandInPanel&) = delete;

  void setIcon(const QIcon& icon);
  // Shows the panel, on the first output there is; nothing without one.
  void show();
  void hide();
  bool isShown() const;

 signals:
  // A click, with the point below the panel where its menu belongs (layout points, y down).
  void clicked(QPointF menuPoint);

 private:
  void pointerMoved(double, double) override {}
  void pointerButton(double x, double y, bool pressed) override;
  void paint();

  WaylandConnection& connection_;
  QIcon icon_;
  std::unique_ptr<ImageSurface> surface_;
};

}  // namespace platform::wayland
