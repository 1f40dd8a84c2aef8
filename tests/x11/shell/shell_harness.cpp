// Drives the shell pieces on a private X display for the test scripts: a status item with the
// menu Quillmere builds, the alert, and the launch notification. It reports what it sees on
// standard output, one line per fact, and answers "dump" on standard input.
#include <unistd.h>
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidgetAction>
#include <any>
#include <iostream>
#include <memory>
#include <string>

#include "platform/alert.h"
#include "platform/menu.h"
#include "platform/x11/shell/alert_dialog.h"
#include "platform/x11/shell/desktop_notification.h"
#include "platform/x11/shell/tray_status_item.h"

using namespace platform;

namespace {

void say(const QString& line) {
  std::cout << line.toStdString() << std::endl;
}

QString rect(const QRect& r) {
  return QString("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Answers the menu's actions, so that their rows are enabled as in Quillmere, and moves the
// check mark to the mode chosen, reporting it.
class Receiver final : public ApplicationDelegate {
 public:
  std::shared_ptr<StatusItem> item;

  void applicationDidFinishLaunching(const Notification&) override {}
  bool respondsToAction(std::string_view action) const override {
    return action == "changeMode:" || action == "intensityChanged:" ||
           action == "toggleEffectFromMenu" || action == kTerminateAction;
  }
  void performAction(std::string_view action, Object& sender) override {
    if (action != "changeMode:") return;
    auto& chosen = dynamic_cast<MenuItem&>(sender);
    const auto mode = std::any_cast<std::string>(chosen.representedObject());
    for (const auto& menuItem : item->menu()->itemArray()) {
      if (const auto* m = std::any_cast<std::string>(&menuItem->representedObject())) {
        menuItem->setState(*m == mode ? ControlStateValue::on : ControlStateValue::off);
      }
    }
    say("action changeMode: " + QString::fromStdString(mode));
  }
};

// The menu as the status menu builds it at launch.
std::shared_ptr<Menu> buildMenu(const std::shared_ptr<Receiver>& receiver, double intensity) {
  auto menu = Menu::create();
  auto heading = [](std::string title) {
    auto item = MenuItem::create(std::move(title), "", "");
    item->setEnabled(false);
    return item;
  };
  menu->addItem(heading("Shortcuts & Gestures"));
  menu->addItem(MenuItem::create("  Shake mouse to toggle", "", ""));
  menu->addItem(MenuItem::create("  \u2318 + B : Quick Toggle", "", ""));
  menu->addItem(MenuItem::create("  \u2318 + Q : Quit App", "", ""));
  menu->addItem(MenuItem::separatorItem());
  for (std::string mode : {"Blur", "Pixelate", "Dim"}) {
    auto item = MenuItem::create(mode, "changeMode:", "");
    item->setRepresentedObject(mode);
    item->setState(mode == "Blur" ? ControlStateValue::on : ControlStateValue::off);
    menu->addItem(item);
  }
  menu->addItem(MenuItem::separatorItem());
  menu->addItem(heading("Effect Intensity"));
  auto slider = Slider::sliderWithValue(intensity, 0.1, 1.0, receiver, "intensityChanged:");
  slider->setFrame(Rect{{20.0, 0.0}, {160.0, 30.0}});
  auto container = View::create(Rect{{0.0, 0.0}, {200.0, 30.0}});
  container->addSubview(slider);
  auto sliderItem = MenuItem::create();
  sliderItem->setView(container);
  menu->addItem(sliderItem);
  menu->addItem(MenuItem::separatorItem());
  menu->addItem(MenuItem::create("Toggle Quillmere", "toggleEffectFromMenu", "b"));
  menu->addItem(MenuItem::create("Quit", std::string(kTerminateAction), "q"));
  return menu;
}

// Where a widget is on the screen.
QString screenRect(const QWidget* widget) {
  return rect(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
}

// Describes the open menu: each row's text, check mark and enabled state, and where it is.
void dumpMenu() {
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (menu == nullptr) {
    say("menu closed");
    return;
  }
  say("menu open " + rect(menu->geometry()));
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) {
      say("row separator");
    } else if (auto* widgetAction = qobject_cast<QWidgetAction*>(action)) {
      QWidget* container = widgetAction->defaultWidget();
      const auto* slider = container->findChild<QSlider*>();
      say("row slider " + screenRect(container) +
          (slider ? QString(" %1 %2 %3 %4 ")
                            .arg(slider->minimum())
                            .arg(slider->maximum())
                            .arg(slider->value())
                            .arg(slider->hasTracking()) +
                        screenRect(slider)
                  : QString()));
    } else {
      const QRect at = menu->actionGeometry(action).translated(menu->mapToGlobal(QPoint(0, 0)));
      say(QString("row item %1 checked=%2 enabled=%3 text=")
              .arg(rect(at))
              .arg(action->isChecked())
              .arg(action->isEnabled()) +
          action->text());
    }
  }
  say("dump end");
}

void dumpAlert() {
  QWidget* box = QApplication::activeModalWidget();
  if (box == nullptr) {
    QTimer::singleShot(100, dumpAlert);
    return;
  }
  say("alert title=" + box->windowTitle());
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

int runTray(QApplication& app) {
  auto receiver = std::make_shared<Receiver>();
  Application::sharedApplication().setDelegate(receiver);

  auto item = std::make_shared<StatusItem>(kVariableStatusItemLength);
  receiver->item = item;
  item->setPeer(x11::makeTrayStatusItemPeer(*item));
  auto image = Image::fromSymbol("circle.dotted", "Quillmere")
                   ->imageWithSymbolConfiguration({13.0, FontWeight::medium});
  item->button()->setImage(image);
  item->setMenu(buildMenu(receiver, 0.7));

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    std::string line;
    if (!std::getline(std::cin, line)) {
      input.setEnabled(false);
      return;
    }
    if (line == "dump") dumpMenu();
  });
  say("ready");
  return app.exec();
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
  say(QString("response %1").arg(x11::runAlertDialog(alert)));
  return 0;
}

int runNotify(const QStringList& args) {
  UserNotification notification;
  notification.setTitle("Quillmere is Active");
  notification.setInformativeText(
      "Check your Menu Bar (look for the dotted circle) to control the effects.");
  x11::sendDesktopNotification(notification, args.value(2));
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
  if (mode == "tray") return runTray(app);
  if (mode == "alert") return runAlert();
  if (mode == "notify") return runNotify(args);
  if (mode == "silent-server") return runSilentServer();
  std::cerr << "usage: shell_harness tray|alert|notify [icon]|silent-server\n";
  return 2;
}
