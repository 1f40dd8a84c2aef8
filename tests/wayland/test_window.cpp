// A native Wayland window for the scenario scripts: one solid colour, the title given, nothing
// else. Usage: wayland_test_window TITLE #RRGGBB
#include <QApplication>
#include <QColor>
#include <QPainter>
#include <QWidget>
#include <cstdio>

namespace {

class SolidWindow final : public QWidget {
 public:
  explicit SolidWindow(QColor colour) : colour_(colour) {}

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour_); }

 private:
  QColor colour_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: wayland_test_window TITLE #RRGGBB\n", stderr);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "wayland");
  qputenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  SolidWindow window{QColor(QString::fromLocal8Bit(argv[2]))};
  window.setWindowTitle(QString::fromLocal8Bit(argv[1]));
  window.resize(200, 150);
  window.show();
  return QApplication::exec();
}
