#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/gnome/shell_calls.h"
#include "platform/qt/window_report_cache.h"
#include "platform/workspace.h"

class QDBusMessage;
class QDBusServiceWatcher;

namespace platform::qt {
class BusCallReceiver;
}  // namespace platform::qt

namespace platform::gnome {

// What the extension tells Quillmere, handed on as it arrives.
struct ShellEvents {
  std::function<void(WorkspaceNotification)> post;
  std::function<void()> toggle;                  // Key("toggle"): Super+B
  std::function<void(double, double)> pointer;   // stage coordinates
  std::function<void(int)> menuActivated;        // row
  std::function<void(int, double)> sliderMoved;  // row, value
  std::function<void()> helloAnswered;           // the extension forgot every pane and the menu
  // The extension was disabled, or GNOME Shell left the bus: the one line that says so.
  std::function<void(const char*)> gone;
};

// Quillmere's side of the GNOME Shell extension: owns org.quillmere.Quillmere (or nothing
// works), serves org.quillmere.Quillmere1 to the current owner of org.gnome.Shell alone, and
// makes the calls on org.quillmere.Shell1 without awaiting their replies. The window list and
// the frontmost application come from the extension's reports, so reading them costs no call.
class GnomeShellClient final : public QObject, public ShellCalls {
  Q_OBJECT

 public:
  GnomeShellClient(QDBusConnection bus, ProcessId ownPid, ShellEvents events,
                   QObject* parent = nullptr);
  ~GnomeShellClient() override;
  GnomeShellClient(const GnomeShellClient&) = delete;
  GnomeShellClient& operator=(const GnomeShellClient&) = delete;

  // Owns the name, exports the object and says Hello to the extension, waiting for its answer.
  void start();
  // The extension answered Hello, or does after it is enabled, within two seconds.
  bool ensureExtension();

  bool ownsName() const { return ownsName_; }
  bool helloAnswered() const { return helloAnswered_; }
  // Null until the first report arrives. Quillmere's own windows are left out.
  std::shared_ptr<const WindowInfoList> windowList() const { return cache_.windowList(); }
  std::optional<ProcessId> frontmostPid() const { return cache_.frontmostPid(); }
  // Calls made on the extension since the start: a quiet desktop makes none.
  std::uint64_t callsSent() const { return callsSent_; }

  void setPane(std::uint32_t pane, const QVariantMap& look) override;
  void setAlpha(std::uint32_t pane, double alpha) override;
  void removePane(std::uint32_t pane) override;
  void setMenu(const std::vector<MenuRow>& rows) override;
  void removeMenu() override;

  static QString serviceName();
  static QString objectPath();
  static QString interfaceName();

 private:
  void handleCall(const QDBusMessage& message);
  void dispatch(const QDBusMessage& message);
  void shellOwnerChanged(const QString& owner);
  bool hello();
  bool enableExtension();
  void send(const QString& member, const QList<QVariant>& arguments);

  QDBusConnection bus_;
  ShellEvents events_;
  qt::WindowReportCache cache_;
  std::unique_ptr<qt::BusCallReceiver> receiver_;
  QDBusServiceWatcher* shellWatcher_ = nullptr;
  QString shellOwner_;  // the unique name that owns org.gnome.Shell, or empty
  bool ownsName_ = false;
  bool helloAnswered_ = false;
  bool enableTried_ = false;
  std::uint64_t callsSent_ = 0;
};

}  // namespace platform::gnome
