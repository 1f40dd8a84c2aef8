#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <memory>

class QDBusServiceWatcher;

namespace platform::x11 {

// Tells when a tray host may have come or gone: the owner of the _NET_SYSTEM_TRAY_S<screen>
// selection changed (XFixes selection events on a window of our own), or the
// StatusNotifierWatcher bus name changed hands. Without X or without a bus, that half is quiet.
// Qt learns of a tray's end only when it sees the tray window destroyed, which may come after
// our event, so what we saw ourselves decides that a host is gone.
class TrayHostWatcher final : public QObject, public QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  explicit TrayHostWatcher(QObject* parent = nullptr);
  ~TrayHostWatcher() override;
  TrayHostWatcher(const TrayHostWatcher&) = delete;
  TrayHostWatcher& operator=(const TrayHostWatcher&) = delete;

  // False once neither kind of host is known to run; true when that cannot be watched.
  bool mayHaveTrayHost() const;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 signals:
  void trayHostsChanged();

 private:
  void watchSystemTraySelection();
  void watchStatusNotifierWatcher();

  bool xembedHost_ = false;
  bool statusNotifierHost_ = false;
  std::uint32_t selectionAtom_ = 0;
  std::uint32_t eventWindow_ = 0;
  std::uint8_t selectionNotifyType_ = 0;
  QDBusServiceWatcher* busWatcher_ = nullptr;
};

}  // namespace platform::x11
