#include "display_test_support.h"

#include <QApplication>
#include <QProcess>
#include <QWidget>

namespace quillmere::test {

// The event loop keeps running meanwhile, so that events are read as they happen.
bool xdotool(const QStringList& arguments) {
  QProcess process;
  process.start("xdotool", arguments);
  if (!process.waitForStarted()) return false;
  if (!waitUntil([&] { return process.state() == QProcess::NotRunning; },
                 std::chrono::seconds(10))) {
    return false;
  }
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool showFocused(QWidget& widget) {
  widget.resize(200, 100);
  widget.show();
  if (!waitUntil([&] { return widget.isVisible() && widget.windowHandle() != nullptr; })) {
    return false;
  }
  QCoreApplication::processEvents();
  if (!xdotool({"windowfocus", "--sync", QString::number(widget.winId())})) return false;
  return waitUntil([&] { return QApplication::activeWindow() == &widget; });
}

}  // namespace quillmere::test
