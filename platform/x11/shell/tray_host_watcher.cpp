#include "platform/x11/shell/tray_host_watcher.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <cstdlib>

namespace platform::x11 {

namespace {
constexpr const char* kStatusNotifierWatcher = "org.kde.StatusNotifierWatcher";

xcb_connection_t* qtConnection() {
  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 == nullptr) return nullptr;
  xcb_connection_t* connection = x11->connection();
  if (connection == nullptr || xcb_connection_has_error(connection) != 0) return nullptr;
  return connection;
}

// The screen that $DISPLAY names, as Qt picks it too.
int defaultScreenNumber() {
  char* host = nullptr;
  int display = 0;
  int screen = 0;
  if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) return 0;
  std::free(host);
  return screen;
}

xcb_screen_t* screenAt(xcb_connection_t* connection, int number) {
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; it.rem > 0; ++i, xcb_screen_next(&it)) {
    if (i == number) return it.data;
  }
  return nullptr;
}
}  // namespace

TrayHostWatcher::TrayHostWatcher(QObject* parent) : QObject(parent) {
  watchSystemTraySelection();
  watchStatusNotifierWatcher();
}

TrayHostWatcher::~TrayHostWatcher() {
  if (eventWindow_ == 0) return;
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::instance()->removeNativeEventFilter(this);
  }
  if (xcb_connection_t* connection = qtConnection()) {
    xcb_destroy_window(connection, eventWindow_);
    xcb_flush(connection);
  }
}

void TrayHostWatcher::watchSystemTraySelection() {
  xcb_connection_t* connection = qtConnection();
  if (connection == nullptr) return;
  const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
  if (xfixes == nullptr || xfixes->present == 0) return;
  xcb_screen_t* screen = screenAt(connection, defaultScreenNumber());
  if (screen == nullptr) return;

  const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(defaultScreenNumber());
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.constData()),
      nullptr);
  if (atom == nullptr) return;
  selectionAtom_ = atom->atom;
  std::free(atom);

  // XFixes needs the version handshake on each connection; Qt has done it on its own already,
  // but asking again costs one round trip at start-up only.
  std::free(xcb_xfixes_query_version_reply(
      connection,
      xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
      nullptr));

  eventWindow_ = xcb_generate_id(connection);
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, eventWindow_, screen->root, -1, -1, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_xfixes_select_selection_input(connection, eventWindow_, selectionAtom_,
                                    XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
  xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
      connection, xcb_get_selection_owner(connection, selectionAtom_), nullptr);
  xembedHost_ = owner != nullptr && owner->owner != XCB_WINDOW_NONE;
  std::free(owner);
  selectionNotifyType_ =
      static_cast<std::uint8_t>(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
  QCoreApplication::instance()->installNativeEventFilter(this);
}

void TrayHostWatcher::watchStatusNotifierWatcher() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  busWatcher_ = new QDBusServiceWatcher(QString::fromLatin1(kStatusNotifierWatcher), bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
  connect(busWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
          [this](const QString&, const QString&, const QString& newOwner) {
            statusNotifierHost_ = !newOwner.isEmpty();
            emit trayHostsChanged();
          });
  if (QDBusConnectionInterface* names = bus.interface()) {
    statusNotifierHost_ = names->isServiceRegistered(QString::fromLatin1(kStatusNotifierWatcher));
  }
}

bool TrayHostWatcher::mayHaveTrayHost() const {
  return eventWindow_ == 0 || xembedHost_ || statusNotifierHost_;
}

// Every X event passes here, so all but our selection events leave after two cheap tests.
bool TrayHostWatcher::nativeEventFilter(const QByteArray& eventType, void* message,
                                        qintptr* /*result*/) {
  if (message == nullptr || eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != selectionNotifyType_) return false;
  const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
  if (notify->window != eventWindow_ || notify->selection != selectionAtom_) return false;
  xembedHost_ = notify->owner != XCB_WINDOW_NONE;
  emit trayHostsChanged();
  return false;
}

}  // namespace platform::x11
