// Drives the shell pieces on a private X display for the test scripts: the alert and a
// notification server that never answers. It reports what it sees on standard output, one line
// per fact.
#include <QApplication>
#include <QDBusConnection>
#include <QLabel>
#include <QTimer>
#include <iostream>
#include <string>

#include "platform/alert.h"
#include "platform/qt/alert_dialog.h"

using namespace platform;

namespace {

void say(const QString& line) {
  std::cout << line.toStdString() << std::endl;
}

void dumpAlert() {
  QWidget* box = QApplication::activeModalWidget();
  if (box == nullptr) {
    QTimer::singleShot(100, dumpAlert);
    return;
  }
  for (QLabel* label : box->findChildren<QLabel*>()) {
    if (!label->text().isEmpty()) {
      say(QString("alert label format=%1 text=").arg(label->textFormat()) + label->text());
    }
  }
  say("alert shown");
}

int runAlert() {
  Alert alert;
  // Markup in both texts, which must be shown as written.
  alert.setMessageText("Quillmere <b>needs</b> permission");
  alert.setInformativeText("Please <a href=\"x\">enable</a> it.");
  alert.addButtonWithTitle("Open System Settings");
  alert.addButtonWithTitle("I'll do it later");
  QTimer::singleShot(0, dumpAlert);
  say(QString("response %1").arg(qt::runAlertDialog(alert)));
  return 0;
}

// Owns the notification service name and then does nothing, so that a stopped process stands
// for a server that never answers.
int runSilentServer() {
  if (!QDBusConnection::sessionBus().registerService("org.freedesktop.Notifications")) return 1;
  say("owned");
  return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QGuiApplication::setApplicationDisplayName("Quillmere");
  const QString mode = app.arguments().value(1);
  if (mode == "alert") return runAlert();
  if (mode == "silent-server") return runSilentServer();
  std::cerr << "usage: shell_harness alert|silent-server\n";
  return 2;
}
