#include "platform/wayland/kwin_script_client.h"

#include <QTimer>

#include <QEventLoop>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QSaveFile>

#include "platform/qt/bus_call_receiver.h"
#include "platform/wayland/kwin_script.h"

namespace platform::wayland {

namespace {

const QString kKWinService = QStringLiteral("org.kde.KWin");
const QString kScriptingPath = QStringLiteral("/Scripting");
const QString kScriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
constexpr int kUnloadTimeoutMs = 1000;

}  // namespace

KWinScriptClient::KWinScriptClient(ProcessId ownPid,
                                   std::function<void(WorkspaceNotification)> post,
                                   std::function<void()> shortcut, QObject* parent)
    : QObject(parent),
      bus_(QDBusConnection::sessionBus()),
      cache_(ownPid),
      ownPid_(ownPid),
      post_(std::move(post)),
      shortcut_(std::move(shortcut)) {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!bus_.isConnected() || runtime.isEmpty()) return;
  scriptPath_ =
      QString::fromLocal8Bit(runtime) + QStringLiteral("/quillmere-kwin-%1.js").arg(ownPid);
  onceScriptPath_ =
      QString::fromLocal8Bit(runtime) + QStringLiteral("/quillmere-kwin-%1-once.js").arg(ownPid);
  receiver_ = std::make_unique<qt::BusCallReceiver>(
      this, [this](const QDBusMessage& message) { handleCall(message); });
  if (!bus_.registerVirtualObject(objectPath(), receiver_.get(), QDBusConnection::SingleNode)) {
    receiver_.reset();
    return;
  }
  ++requestsSent_;
  if (!bus_.registerService(serviceName())) return;

  ++requestsSent_;  // the watcher's match rule
  kwinWatcher_ =
      new QDBusServiceWatcher(kKWinService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
  connect(
      kwinWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
      [this](const QString&, const QString&, const QString& owner) { kwinOwnerChanged(owner); });
  QDBusMessage ask = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
  ask << kKWinService;
  connect(call(ask), &QDBusPendingCallWatcher::finished, this,
          [this](QDBusPendingCallWatcher* watcher) {
            const QDBusPendingReply<QString> reply = *watcher;
            if (reply.isValid() && kwinOwner_.isEmpty()) kwinOwnerChanged(reply.value());
          });
}

KWinScriptClient::~KWinScriptClient() {
  unload();
  if (receiver_) {
    bus_.unregisterObject(objectPath());
    bus_.unregisterService(serviceName());
  }
}

QString KWinScriptClient::serviceName() const {
  return QStringLiteral("org.quillmere.Quillmere.KWin.Pid%1").arg(ownPid_);
}
QString KWinScriptClient::objectPath() {
  return QStringLiteral("/org/quillmere/KWinScript");
}
QString KWinScriptClient::interfaceName() {
  return QStringLiteral("org.quillmere.KWinScript");
}
QString KWinScriptClient::pluginName() {
  return QStringLiteral("quillmere");
}
QString KWinScriptClient::oncePluginName() const {
  return QStringLiteral("quillmere-once-%1-%2").arg(ownPid_).arg(onceRuns_);
}

QDBusMessage KWinScriptClient::unloadMessage(const QString& plugin) const {
  QDBusMessage unload = QDBusMessage::createMethodCall(
      kwinOwner_, kScriptingPath, kScriptingInterface, QStringLiteral("unloadScript"));
  unload << plugin;
  return unload;
}

QDBusPendingCallWatcher* KWinScriptClient::call(const QDBusMessage& message) {
  ++requestsSent_;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
  return watcher;
}

// A KWin that went away takes the script with it; one that comes (back) gets it loaded.
void KWinScriptClient::kwinOwnerChanged(const QString& owner) {
  if (owner == kwinOwner_) return;
  forget();
  kwinOwner_ = owner;
  if (!kwinOwner_.isEmpty()) unloadStale();
}

void KWinScriptClient::forget() {
  const bool hadWindows = cache_.windowList() != nullptr;
  cache_.reset();
  loaded_ = false;
  loadSent_ = false;
  onceSent_ = false;
  if (hadWindows && exposure_) exposure_();
}

// A copy that a crashed Quillmere left behind holds the plugin name; it goes first.
void KWinScriptClient::unloadStale() {
  const QString owner = kwinOwner_;
  connect(call(unloadMessage(pluginName())), &QDBusPendingCallWatcher::finished, this,
          [this, owner] {
            if (owner == kwinOwner_) load();
          });
}

void KWinScriptClient::load() {
  QString source = QString::fromUtf8(kKWinScriptSource);
  source.replace(QLatin1String("@SERVICE@"), serviceName());
  source.replace(QLatin1String("@PATH@"), objectPath());
  source.replace(QLatin1String("@INTERFACE@"), interfaceName());
  QFile file(scriptPath_);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  const QByteArray bytes = source.toUtf8();
  const bool written = file.write(bytes) == bytes.size();
  file.close();
  if (!written) return;

  QDBusMessage load = QDBusMessage::createMethodCall(
      kwinOwner_, kScriptingPath, kScriptingInterface, QStringLiteral("loadScript"));
  load << scriptPath_ << pluginName();
  loadSent_ = true;
  const QString owner = kwinOwner_;
  connect(call(load), &QDBusPendingCallWatcher::finished, this,
          [this, owner](QDBusPendingCallWatcher* watcher) {
            const QDBusPendingReply<int> reply = *watcher;
            if (owner == kwinOwner_ && reply.isValid() && reply.value() >= 0) run(reply.value());
          });
}

void KWinScriptClient::run(int scriptId) {
  QDBusMessage run =
      QDBusMessage::createMethodCall(kwinOwner_, QStringLiteral("/%1").arg(scriptId),
                                     QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
  const QString owner = kwinOwner_;
  connect(call(run), &QDBusPendingCallWatcher::finished, this,
          [this, owner](QDBusPendingCallWatcher* watcher) {
            if (owner != kwinOwner_ || !loadSent_ || watcher->isError()) return;
            loaded_ = true;
            emit scriptStarted();
          });
}

bool KWinScriptClient::waitUntilLoaded(int ms) {
  if (loaded_ || receiver_ == nullptr) return loaded_;
  QEventLoop loop;
  connect(this, &KWinScriptClient::scriptStarted, &loop, &QEventLoop::quit);
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return loaded_;
}

void KWinScriptClient::unload() {
  if (!kwinOwner_.isEmpty()) {
    for (const auto& [sent, plugin] :
         {std::pair{onceSent_, oncePluginName()}, std::pair{loadSent_, pluginName()}}) {
      if (!sent) continue;
      ++requestsSent_;
      bus_.call(unloadMessage(plugin), QDBus::Block, kUnloadTimeoutMs);
    }
  }
  loadSent_ = false;
  loaded_ = false;
  onceSent_ = false;
  if (!scriptPath_.isEmpty()) QFile::remove(scriptPath_);
  if (!onceScriptPath_.isEmpty()) QFile::remove(onceScriptPath_);
}

// The script takes itself out once it has run. KWin numbers a new script by the count of
// those it holds, and frees an unloaded one's number and name only later, so a script that
// Quillmere unloaded just before loading the next could lend it a number still in use: the
// run would go to the old script. The file is replaced whole, so that KWin, which reads it
// later, never reads half of one.
void KWinScriptClient::runOnce(const QString& source, std::function<void(bool)> done) {
  if (!loaded_ || kwinOwner_.isEmpty()) return done(false);
  ++onceRuns_;
  const QString unloadItself = QStringLiteral(
                                   "\ncallDBus('org.kde.KWin', '/Scripting', "
                                   "'org.kde.kwin.Scripting', 'unloadScript', '%1');\n")
                                   .arg(oncePluginName());
  QSaveFile file(onceScriptPath_);
  const QByteArray bytes = (source + unloadItself).toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    return done(false);
  }
  QFile::setPermissions(onceScriptPath_, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  onceSent_ = true;
  QDBusMessage load = QDBusMessage::createMethodCall(
      kwinOwner_, kScriptingPath, kScriptingInterface, QStringLiteral("loadScript"));
  load << onceScriptPath_ << oncePluginName();
  const QString owner = kwinOwner_;
  connect(call(load), &QDBusPendingCallWatcher::finished, this,
          [this, owner, done = std::move(done)](QDBusPendingCallWatcher* watcher) {
            const QDBusPendingReply<int> reply = *watcher;
            if (owner != kwinOwner_ || !reply.isValid() || reply.value() < 0) return done(false);
            QDBusMessage run = QDBusMessage::createMethodCall(
                kwinOwner_, QStringLiteral("/%1").arg(reply.value()),
                QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
            connect(call(run), &QDBusPendingCallWatcher::finished, this,
                    [done](QDBusPendingCallWatcher* ran) { done(!ran->isError()); });
          });
}

// Calls from anyone but the KWin of now are refused unread.
void KWinScriptClient::handleCall(const QDBusMessage& message) {
  if (message.type() != QDBusMessage::MethodCallMessage) return;
  const bool fromKWin = !kwinOwner_.isEmpty() && message.service() == kwinOwner_;
  const bool ours = message.interface() == interfaceName();
  if (!fromKWin || !ours) {
    if (message.isReplyRequired()) {
      bus_.send(message.createErrorReply(QDBusError::AccessDenied, QString()));
    }
    return;
  }
  if (message.isReplyRequired()) bus_.send(message.createReply());
  if (message.member() == QLatin1String("shortcut")) {
    if (shortcut_) shortcut_();
    return;
  }
  if (message.member() != QLatin1String("report") || message.signature() != QLatin1String("s")) {
    return;
  }
  const QString text = message.arguments().value(0).toString();
  // Each UTF-16 unit takes at least one byte of UTF-8.
  if (std::size_t(text.size()) > qt::kMaxWindowReportBytes) return;
  const QByteArray bytes = text.toUtf8();
  const qt::WindowReportCache::Step step =
      cache_.handle(std::string_view(bytes.constData(), std::size_t(bytes.size())));
  for (WorkspaceNotification name : step.notifications) {
    if (post_) post_(name);
  }
  if (step.exposureChanged && exposure_) exposure_();
}

}  // namespace platform::wayland
