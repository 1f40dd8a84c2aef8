// Drives the shell pieces on a private X display for the test scripts: the alert, the launch
// notification and a notification server that never answers. It reports what it sees on
// standard output, one line per fact.
#include <QAbstractButton>
#include <QApplication>
#include <QDBusConnection>
#include <QLabel>
#include <QTimer>
#include <iostream>
#include <string>

#include "platform/alert.h"
#include "platform/qt/alert_dialog.h"
#include "platform/qt/desktop_notification.h"

using namespace platform;

namespace {

void say(const QString& line) {
  std::cout << line.toStdString() << std::endl;
}

// Where a widget is on the screen.
QString screenRect(const QWidget* widget) {
  const QPoint p = widget->mapToGlobal(QPoint(0, 0));
  return QString("%1 %2 %3 %4").arg(p.x()).arg(p.y()).arg(widget->width()).arg(widget->height());
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
  for (QAbstractButton* button : box->findChildren<QAbstractButton*>()) {
    if (!button->isVisible()) continue;
    say("alert button " + screenRect(button) + " text=" + button->text());
  }
  say("alert shown");
}

int runAlert() {
  Alert alert;
  alert.setMessageText("Quillmere needs permission");
  alert.setInformativeText(
      "To blur windows, Quillmere needs Accessibility permission. Please enable it in System "
      "Settings.");
  alert.addButtonWithTitle("Open System Settings");
  alert.addButtonWithTitle("I'll do it later");
  QTimer::singleShot(0, dumpAlert);
  say(QString("response %1").arg(qt::runAlertDialog(alert)));
  return 0;
}

int runNotify(const QStringList& args) {
  UserNotification notification;
  notification.setTitle("Quillmere is Active");
  notification.setInformativeText(
      "Check your Menu Bar (look for the dotted circle) to control the effects.");
  qt::sendDesktopNotification(notification, args.value(2));
  say("sent");
  // Give the bus a moment to carry the call out before the process ends.
  QTimer::singleShot(300, [] { QCoreApplication::exit(0); });
  return QCoreApplication::exec();
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
  const QStringList args = app.arguments();
  const QString mode = args.value(1);
  if (mode == "alert") return runAlert();
  if (mode == "notify") return runNotify(args);
  if (mode == "silent-server") return runSilentServer();
  std::cerr << "usage: shell_harness alert|notify [icon]|silent-server\n";
  return 2;
}
