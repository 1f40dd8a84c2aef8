#include "platform/gnome/gnome_shell_client.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDeadlineTimer>
#include <QThread>
#include <cmath>

#include "platform/qt/bus_call_receiver.h"

namespace platform::gnome {

namespace {

const QString kShellService = QStringLiteral("org.gnome.Shell");
const QString kShellPath = QStringLiteral("/org/quillmere/Shell");
const QString kShellInterface = QStringLiteral("org.quillmere.Shell1");
// GNOME Shell serves its extensions interface on its own name; the name
// org.gnome.Shell.Extensions belongs to a helper that a private session may not activate.
const QString kExtensionsPath = QStringLiteral("/org/gnome/Shell");
const QString kExtensionsInterface = QStringLiteral("org.gnome.Shell.Extensions");
const QString kExtensionUuid = QStringLiteral("quillmere@quillmere.org");
constexpr int kHelloTimeoutMs = 1000;
constexpr int kEnableWaitMs = 2000;
constexpr int kHelloRetryMs = 100;
constexpr double kMaxCoordinate = 1e6;
// GNOME Shell's ExtensionState.ENABLED.
constexpr double kExtensionEnabled = 1.0;

// One row of SetMenu's a(sssbbddd) on the wire.
struct WireRow {
  QString kind;
  QString title;
  QString key;
  bool checked = false;
  bool enabled = true;
  double value = 0.0;
  double min = 0.0;
  double max = 0.0;
};

}  // namespace

}  // namespace platform::gnome

Q_DECLARE_METATYPE(platform::gnome::WireRow)

namespace platform::gnome {

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const WireRow& row) {
  argument.beginStructure();
  argument << row.kind << row.title << row.key << row.checked << row.enabled << row.value << row.min
           << row.max;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, WireRow& row) {
  argument.beginStructure();
  argument >> row.kind >> row.title >> row.key >> row.checked >> row.enabled >> row.value >>
      row.min >> row.max;
  argument.endStructure();
  return argument;
}

bool finiteCoordinate(double value) {
  return std::isfinite(value) && std::abs(value) <= kMaxCoordinate;
}

}  // namespace

GnomeShellClient::GnomeShellClient(QDBusConnection bus, ProcessId ownPid, ShellEvents events,
                                   QObject* parent)
    : QObject(parent), bus_(std::move(bus)), events_(std::move(events)), cache_(ownPid) {
  qDBusRegisterMetaType<WireRow>();
  qDBusRegisterMetaType<QList<WireRow>>();
}

GnomeShellClient::~GnomeShellClient() {
  if (receiver_) bus_.unregisterObject(objectPath());
  if (ownsName_) bus_.unregisterService(serviceName());
}

QString GnomeShellClient::serviceName() {
  return QStringLiteral("org.quillmere.Quillmere");
}
QString GnomeShellClient::objectPath() {
  return QStringLiteral("/org/quillmere/Quillmere");
}
QString GnomeShellClient::interfaceName() {
  return QStringLiteral("org.quillmere.Quillmere1");
}

void GnomeShellClient::start() {
  if (!bus_.isConnected() || bus_.interface() == nullptr) return;
  receiver_ = std::make_unique<qt::BusCallReceiver>(
      this, [this](const QDBusMessage& message) { handleCall(message); });
  if (!bus_.registerVirtualObject(objectPath(), receiver_.get(), QDBusConnection::SingleNode)) {
    receiver_.reset();
    return;
  }
  // Another Quillmere holding the name would get the extension's reports: no queueing.
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> owned =
      bus_.interface()->registerService(serviceName(), QDBusConnectionInterface::DontQueueService,
                                        QDBusConnectionInterface::DontAllowReplacement);
  ownsName_ = owned.isValid() && owned.value() == QDBusConnectionInterface::ServiceRegistered;
  if (!ownsName_) return;

  shellWatcher_ =
      new QDBusServiceWatcher(kShellService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
  connect(
      shellWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
      [this](const QString&, const QString&, const QString& owner) { shellOwnerChanged(owner); });
  const QDBusReply<QString> owner = bus_.interface()->serviceOwner(kShellService);
  if (owner.isValid()) shellOwner_ = owner.value();
  if (!shellOwner_.isEmpty()) hello();
}

// The shell we started with going away ends the session's desktop, and Quillmere with it.
void GnomeShellClient::shellOwnerChanged(const QString& owner) {
  if (owner == shellOwner_) return;
  const bool had = !shellOwner_.isEmpty();
  shellOwner_ = owner;
  cache_.reset();
  if (had) {
    if (events_.gone) events_.gone("quillmere: GNOME Shell has gone away");
    return;
  }
  hello();
}

bool GnomeShellClient::hello() {
  if (shellOwner_.isEmpty()) return false;
  QDBusMessage call =
      QDBusMessage::createMethodCall(shellOwner_, kShellPath, kShellInterface, "Hello");
  ++callsSent_;
  const QDBusReply<uint> reply = bus_.call(call, QDBus::Block, kHelloTimeoutMs);
  if (!reply.isValid()) return false;
  helloAnswered_ = true;
  if (events_.helloAnswered) events_.helloAnswered();
  return true;
}

bool GnomeShellClient::ensureExtension() {
  if (helloAnswered_) return true;
  if (!ownsName_ || shellOwner_.isEmpty() || enableTried_) return false;
  enableTried_ = true;
  if (!enableExtension()) return false;
  const QDeadlineTimer deadline(kEnableWaitMs);
  while (!hello()) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(kHelloRetryMs);
  }
  return true;
}

// An extension that is installed but not enabled gets enabled; one that is not installed
// cannot be helped from here.
bool GnomeShellClient::enableExtension() {
  QDBusMessage ask = QDBusMessage::createMethodCall(shellOwner_, kExtensionsPath,
                                                    kExtensionsInterface, "GetExtensionInfo");
  ask << kExtensionUuid;
  ++callsSent_;
  const QDBusReply<QVariantMap> info = bus_.call(ask, QDBus::Block, kHelloTimeoutMs);
  if (!info.isValid() || info.value().isEmpty()) return false;
  if (info.value().value(QStringLiteral("state")).toDouble() == kExtensionEnabled) return true;
  QDBusMessage enable = QDBusMessage::createMethodCall(shellOwner_, kExtensionsPath,
                                                       kExtensionsInterface, "EnableExtension");
  enable << kExtensionUuid;
  ++callsSent_;
  const QDBusReply<bool> enabled = bus_.call(enable, QDBus::Block, kHelloTimeoutMs);
  return enabled.isValid() && enabled.value();
}

void GnomeShellClient::send(const QString& member, const QList<QVariant>& arguments) {
  if (shellOwner_.isEmpty()) return;
  QDBusMessage call =
      QDBusMessage::createMethodCall(shellOwner_, kShellPath, kShellInterface, member);
  call.setArguments(arguments);
  call.setAutoStartService(false);
  ++callsSent_;
  bus_.send(call);
}

void GnomeShellClient::setPane(std::uint32_t pane, const QVariantMap& look) {
  send(QStringLiteral("SetPane"), {QVariant::fromValue(uint(pane)), look});
}

void GnomeShellClient::setAlpha(std::uint32_t pane, double alpha) {
  send(QStringLiteral("SetAlpha"), {QVariant::fromValue(uint(pane)), alpha});
}

void GnomeShellClient::removePane(std::uint32_t pane) {
  send(QStringLiteral("RemovePane"), {QVariant::fromValue(uint(pane))});
}

void GnomeShellClient::setMenu(const std::vector<MenuRow>& rows) {
  QList<WireRow> wire;
  for (const MenuRow& row : rows) {
    wire.push_back({QString::fromStdString(row.kind), QString::fromStdString(row.title),
                    QString::fromStdString(row.keyEquivalent), row.checked, row.enabled, row.value,
                    row.min, row.max});
  }
  send(QStringLiteral("SetMenu"), {QVariant::fromValue(wire)});
}

void GnomeShellClient::removeMenu() {
  send(QStringLiteral("RemoveMenu"), {});
}

// Calls from anyone but the GNOME Shell of now are refused unread.
void GnomeShellClient::handleCall(const QDBusMessage& message) {
  if (message.type() != QDBusMessage::MethodCallMessage) return;
  const bool fromShell = !shellOwner_.isEmpty() && message.service() == shellOwner_;
  if (!fromShell || message.interface() != interfaceName()) {
    if (message.isReplyRequired()) {
      bus_.send(message.createErrorReply(QDBusError::AccessDenied, QString()));
    }
    return;
  }
  dispatch(message);
  // After the calls the message led to: the extension holds the shell's frames for a report
  // until this answer, so the panes move before the next frame is drawn.
  if (message.isReplyRequired()) bus_.send(message.createReply());
}

void GnomeShellClient::dispatch(const QDBusMessage& message) {
  const QString member = message.member();
  const QString signature = message.signature();
  const QList<QVariant> args = message.arguments();
  if (member == QLatin1String("Report") && signature == QLatin1String("s")) {
    const QString text = args.value(0).toString();
    // Each UTF-16 unit takes at least one byte of UTF-8.
    if (std::size_t(text.size()) > qt::kMaxWindowReportBytes) return;
    const QByteArray bytes = text.toUtf8();
    const auto step = cache_.handle(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    for (WorkspaceNotification name : step.notifications) {
      if (events_.post) events_.post(name);
    }
  } else if (member == QLatin1String("Key") && signature == QLatin1String("s")) {
    if (args.value(0).toString() == QLatin1String("toggle") && events_.toggle) events_.toggle();
  } else if (member == QLatin1String("Pointer") && signature == QLatin1String("dd")) {
    const double x = args.value(0).toDouble();
    const double y = args.value(1).toDouble();
    if (finiteCoordinate(x) && finiteCoordinate(y) && events_.pointer) events_.pointer(x, y);
  } else if (member == QLatin1String("MenuActivated") && signature == QLatin1String("i")) {
    if (events_.menuActivated) events_.menuActivated(args.value(0).toInt());
  } else if (member == QLatin1String("SliderMoved") && signature == QLatin1String("id")) {
    const double value = args.value(1).toDouble();
    if (std::isfinite(value) && events_.sliderMoved)
      events_.sliderMoved(args.value(0).toInt(), value);
  } else if (member == QLatin1String("Disabled") && signature.isEmpty()) {
    if (events_.gone) events_.gone("quillmere: the GNOME Shell extension was disabled");
  }
}

}  // namespace platform::gnome
