#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QWidget>
#include <cstdlib>

#include "../paint/private_display.h"
#include "display_test_support.h"

namespace quillmere::test {

// The event loop keeps running meanwhile, so that events are read as they happen.
bool xdotool(const QStringList& arguments) {
  QProcess process;
  process.start("xdotool", arguments);
  if (!process.waitForStarted()) return false;
  if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, 10000)) return false;
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
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

// Everything runs on an Xvfb of this program's own, and this process's Qt and the programs it
// starts see only the private environment: the inherited display and settings are never used.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  quillmere::test::PrivateDisplay server(1280, 800);
  if (!server.running()) {
    std::fprintf(stderr, "could not start Xvfb\n");
    return 1;
  }
  server.environment().applyToThisProcess();
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication app(qtArgc, qtArgv);
  return RUN_ALL_TESTS();
}
