#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/qt/window_report_cache.h"
#include "platform/wayland/window_source.h"

class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace platform::qt {
class BusCallReceiver;
}  // namespace platform::qt

namespace platform::wayland {

// The window list and the frontmost application on KWin, from a KWin script that Quillmere
// loads into it over the session bus. The script reports to this process's own bus name; only
// reports sent by the connection that owns org.kde.KWin now are read. It also carries the
// global shortcut "Toggle Quillmere" (Meta+B), whose presses call `shortcut`. Without a session
// bus, a runtime directory or KWin, the window list stays empty.
class KWinScriptClient final : public QObject, public WindowSource {
  Q_OBJECT

 public:
  KWinScriptClient(ProcessId ownPid, std::function<void(WorkspaceNotification)> post,
                   std::function<void()> shortcut, QObject* parent = nullptr);
  // Unloads the script.
  ~KWinScriptClient() override;
  KWinScriptClient(const KWinScriptClient&) = delete;
  KWinScriptClient& operator=(const KWinScriptClient&) = delete;

  // The script runs in KWin.
  bool isLoaded() const { return loaded_; }
  // Null until the first report arrives; Quillmere's own windows are left out.
  std::shared_ptr<const WindowInfoList> windowList() const override { return cache_.windowList(); }
  // None until the first report arrives; -1 when no window is active.
  std::optional<ProcessId> frontmostPid() const override { return cache_.frontmostPid(); }
  // KWin's scripts do not say which output has the focus.
  std::string focusedOutput() const override { return {}; }
  // D-Bus calls made since the start: a quiet desktop costs none.
  std::uint64_t requestsSent() const override { return requestsSent_; }
  // Called whenever the stacking order or the desktop may have changed.
  void setExposureObserver(std::function<void()> observer) override {
    exposure_ = std::move(observer);
  }
  void finish() override { unload(); }
  // Runs the event loop until KWin has loaded and started the script, at most `ms`; whether it
  // has. For the launch, which asks at once whether Quillmere can work here.
  bool waitUntilLoaded(int ms);

  // Takes the script out of KWin and waits for KWin to confirm it, at most a second; the
  // process may end right after. Nothing happens when it is not loaded.
  void unload();

  // Runs `source` once inside KWin, under a plugin name of its own, new for each run; the
  // script then takes itself out. `done` is called once KWin has started it (true) or refused
  // it, and at once (false) without KWin. A run that KWin has not started yet when the next comes
  // may run the newer source: each run must be one that may be repeated.
  void runOnce(const QString& source, std::function<void(bool)> done);

  // The bus name and object the script reports to.
  QString serviceName() const;
  static QString objectPath();
  static QString interfaceName();
  // The plugin name the script runs under in KWin: one per session, as Quillmere is.
  static QString pluginName();
  // The plugin name of `runOnce`'s last script.
  QString oncePluginName() const;

 signals:
  // KWin has loaded and started the script.
  void scriptStarted();

 private:
  void handleCall(const QDBusMessage& message);
  void kwinOwnerChanged(const QString& owner);
  void forget();
  void unloadStale();
  void load();
  void run(int scriptId);
  QDBusMessage unloadMessage(const QString& plugin) const;
  QDBusPendingCallWatcher* call(const QDBusMessage& message);

  QDBusConnection bus_;
  std::unique_ptr<qt::BusCallReceiver> receiver_;
  QDBusServiceWatcher* kwinWatcher_ = nullptr;
  QString kwinOwner_;  // the unique name that owns org.kde.KWin, or empty
  QString scriptPath_;
  QString onceScriptPath_;
  bool onceSent_ = false;  // the last script of runOnce's may still be in KWin
  std::uint64_t onceRuns_ = 0;
  bool loadSent_ = false;
  bool loaded_ = false;
  qt::WindowReportCache cache_;
  ProcessId ownPid_;
  std::function<void(WorkspaceNotification)> post_;
  std::function<void()> shortcut_;
  std::function<void()> exposure_;
  std::uint64_t requestsSent_ = 0;
};

}  // namespace platform::wayland
