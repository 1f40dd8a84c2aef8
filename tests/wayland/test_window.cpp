// A native Wayland window for the scenario scripts: one solid colour, the title given, nothing
// else. Usage: wayland_test_window TITLE #RRGGBB
#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QWidget>

int main(int, char** argv) {
  qputenv("QT_QPA_PLATFORM", "wayland");
  qputenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  QWidget window;
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(QString::fromLocal8Bit(argv[2])));
  window.setPalette(palette);
  window.setAutoFillBackground(true);
  window.setWindowTitle(QString::fromLocal8Bit(argv[1]));
  window.resize(200, 150);
  window.show();
  return QApplication::exec();
}
