#pragma once

#include <QDBusVirtualObject>
#include <QPointer>
#include <functional>

namespace platform::qt {

// Hands every call on an exported object path to `handle`, on `context`'s thread and only while
// `context` lives: the bus may deliver from its own thread, and a call may arrive while the
// object that serves it is going away.
class BusCallReceiver final : public QDBusVirtualObject {
 public:
  BusCallReceiver(QObject* context, std::function<void(const QDBusMessage&)> handle)
      : context_(context), handle_(std::move(handle)) {}

  bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
    QMetaObject::invokeMethod(
        context_.data(),
        [context = context_, handle = handle_, message] {
          if (context) handle(message);
        },
        Qt::AutoConnection);
    return true;
  }
  QString introspect(const QString&) const override { return {}; }

 private:
  QPointer<QObject> context_;
  std::function<void(const QDBusMessage&)> handle_;
};

}  // namespace platform::qt
