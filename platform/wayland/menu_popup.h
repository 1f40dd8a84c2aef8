#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/event.h"
#include "platform/wayland/image_surface.h"
#include "platform/wayland/wayland_seat.h"

class QAction;
class QMenu;
class QWidget;

namespace platform::qt {
class TrayMenu;
}

namespace platform::wayland {

class WaylandConnection;
struct WaylandOutput;

// Quillmere's menu on a wlroots compositor. Qt cannot make a pop-up there without a window of
// its own for it to hang from (sway would tile that window), so the menu's widget is never
// shown: it is drawn into a layer surface of ours above everything, and our own seat's pointer
// and keys are handed to it. A transparent surface over every output catches a click outside,
// which closes the menu, as Escape does. The menu takes the keyboard while it is open but is no
// window, so it is never in a task list and never the frontmost application.
class MenuPopup final : public QObject, private InputTarget {
  Q_OBJECT

 public:
  // Key-downs go to `localKeyDown` first, which answers whether a local monitor consumed them.
  MenuPopup(WaylandConnection& connection, qt::TrayMenu& menu,
            std::function<bool(const Event&)> localKeyDown);
  ~MenuPopup() override;
  MenuPopup(const MenuPopup&) = delete;
  MenuPopup& operator=(const MenuPopup&) = delete;

  // Opens the menu with its top-left corner at the point (layout points, y down) on the output
  // that holds it, kept within that output; a point on no output opens it on the first one.
  void openAt(QPointF point);
  // Opens the menu at the top-right corner of the named output (else the first), clear of any
  // bar there: where a tray host's icon usually is, when the host does not say where.
  void openBesideTray(const std::string& outputName);
  void close();
  bool isOpen() const { return menuSurface_ != nullptr; }

 signals:
  void opened();
  void closedMenu();

 private:
  // The surfaces that catch a click outside the menu.
  class OutsideClicks final : public InputTarget {
   public:
    explicit OutsideClicks(MenuPopup& popup) : popup_(popup) {}
    void pointerMoved(double, double) override {}
    void pointerButton(double, double, bool pressed) override {
      if (pressed) popup_.close();
    }

   private:
    MenuPopup& popup_;
  };

  void pointerMoved(double x, double y) override;
  void pointerLeft() override;
  void pointerButton(double x, double y, bool pressed) override;
  void keyPressed(const KeyPress& key) override;

  QMenu& qmenu() const;
  void render();
  void highlight(QAction* action);
  void moveHighlight(int step);
  void choose(QAction* action);
  void sendMouse(QWidget* widget, int type, QPointF position);
  const WaylandOutput* outputAt(QPointF point) const;
  // Prepares the menu's widget and opens its surface with the placement's position.
  void open(const WaylandOutput& output, LayerPlacement placement);

  WaylandConnection& connection_;
  qt::TrayMenu& menu_;
  std::function<bool(const Event&)> localKeyDown_;
  OutsideClicks outside_{*this};
  std::vector<std::unique_ptr<ImageSurface>> catchers_;
  std::unique_ptr<ImageSurface> menuSurface_;
  int scale_ = 1;
  // The widget a button went down on (the slider), which follows the pointer until it is up.
  QPointer<QWidget> pressed_;
};

}  // namespace platform::wayland
