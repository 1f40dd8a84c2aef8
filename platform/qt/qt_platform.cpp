#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QIcon>
#include <QImageReader>
#include <cstdio>

#include "platform/qt/alert_dialog.h"
#include "platform/qt/bundle_resources.h"
#include "platform/qt/desktop_notification.h"
#include "platform/qt/qt_timers.h"
#include "platform/qt/termination_signals.h"

namespace platform::qt {

namespace {

constexpr std::string_view kStatusSymbolName = "circle.dotted";

// Widgets need a QApplication; a backend run on a bare QCoreApplication shows none.
bool hasWidgets() {
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

QtPlatform::QtPlatform()
    : owner_(std::make_unique<QObject>()), timers_(std::make_unique<QtTimers>(owner_.get())) {
  new TerminationSignals([] { QCoreApplication::exit(0); }, owner_.get());
}

QtPlatform::~QtPlatform() = default;

// --- Application -----------------------------------------------------------------------------

void QtPlatform::terminate() {
  QCoreApplication::exit(0);
}

void QtPlatform::setApplicationIconImage(const Image& image) {
  if (!image.filePath().empty() && hasWidgets()) {
    QApplication::setWindowIcon(QIcon(QString::fromStdString(image.filePath())));
  }
}

std::optional<std::string> QtPlatform::pathForResource(std::string_view name,
                                                       std::string_view type) {
  return findBundledResource(name, type);
}

bool QtPlatform::canReadImageFile(const std::string& path) {
  return QImageReader(QString::fromStdString(path)).canRead();
}

bool QtPlatform::hasSystemSymbol(const std::string& name) {
  return name == kStatusSymbolName;  // the status item draws this one itself
}

void QtPlatform::writeStandardOutputLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);  // a closed reader gives EPIPE, which we ignore with SIGPIPE
}

// --- Workspace -------------------------------------------------------------------------------

bool QtPlatform::openURL(const URL& url) {
  return openURLExternally(url);
}

URL QtPlatform::accessibilitySettingsURL() {
  return permissionHelpURL();
}

std::int32_t QtPlatform::windowLevelForKey(WindowLevelKey /*key*/) {
  return 0;  // the normal layer, which every backend's levels count from
}

// --- Time ------------------------------------------------------------------------------------

double QtPlatform::now() {
  return QtTimers::now();
}

TimerId QtPlatform::scheduleTimer(double interval, bool repeats, std::function<void()> block) {
  return timers_->schedule(interval, repeats, std::move(block));
}

void QtPlatform::invalidateTimer(TimerId timer) {
  timers_->invalidate(timer);
}

// --- Alerts and notifications ----------------------------------------------------------------

// The alert is a plain Qt message box; without widgets none shows, and the second button answers.
ModalResponse QtPlatform::runModalAlert(const Alert& alert) {
  if (!hasWidgets()) return kAlertSecondButtonReturn;
  return runAlertDialog(alert);
}

void QtPlatform::deliverNotification(const UserNotification& notification) {
  const auto icon = findBundledResource("app-icon", "png");
  sendDesktopNotification(notification, icon ? QString::fromStdString(*icon) : QString());
}

}  // namespace platform::qt
