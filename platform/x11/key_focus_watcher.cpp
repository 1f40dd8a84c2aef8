#include "platform/x11/key_focus_watcher.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace platform::x11 {

KeyFocusWatcher::KeyFocusWatcher(std::function<void(bool)> changed, QObject* parent)
    : QObject(parent), changed_(std::move(changed)) {
  connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] { update(); });
  qApp->installEventFilter(this);
}

bool KeyFocusWatcher::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::Show || type == QEvent::Hide) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget->isWindow() && widget->windowType() == Qt::Popup) {
      // The active pop-up changes only after the event; look once it has been handled.
      QTimer::singleShot(0, this, [this] { update(); });
    }
  }
  return false;
}

void KeyFocusWatcher::update() {
  const bool has =
      QGuiApplication::focusWindow() != nullptr || QApplication::activePopupWidget() != nullptr;
  if (has == ownWindowHasKeys_) return;
  ownWindowHasKeys_ = has;
  if (changed_) changed_(has);
}

}  // namespace platform::x11
