#pragma once

#include <QIcon>
#include <QWidget>

namespace platform::x11 {

// Stands in for the tray icon while no tray host runs: a small dock window with the same icon
// at the top-right corner of the primary screen, above normal windows. It never takes focus,
// so clicking it does not make Quillmere the frontmost application.
class TrayPanel final : public QWidget {
  Q_OBJECT

 public:
  TrayPanel();

  void setIcon(const QIcon& icon);
  // Places the panel at the primary screen's top-right corner and shows it; nothing without a
  // screen.
  void showAtCorner();

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void markAsDock();
  void placeAtCorner();

  QIcon icon_;
};

}  // namespace platform::x11
