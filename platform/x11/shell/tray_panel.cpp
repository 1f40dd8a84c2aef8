#include "platform/x11/shell/tray_panel.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <cstdlib>
#include <cstring>

namespace platform::x11 {

namespace {
constexpr int kPanelSize = 24;
constexpr int kIconInset = 2;
const QColor kPanelBackground(0x2a, 0x2a, 0x2e);

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  if (reply == nullptr) return XCB_ATOM_NONE;
  const xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}
}  // namespace

TrayPanel::TrayPanel()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  setAttribute(Qt::WA_X11DoNotAcceptFocus, true);
  setAttribute(Qt::WA_QuitOnClose, false);
  setWindowTitle(QStringLiteral("Quillmere"));
  setToolTip(QStringLiteral("Quillmere"));
  setFixedSize(kPanelSize, kPanelSize);
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { placeAtCorner(); });
}

void TrayPanel::setIcon(const QIcon& icon) {
  icon_ = icon;
  update();
}

void TrayPanel::showAtCorner() {
  if (QGuiApplication::primaryScreen() == nullptr) return;
  placeAtCorner();
  winId();  // the X window must exist before its type is set
  markAsDock();
  show();
}

void TrayPanel::placeAtCorner() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  move(area.right() + 1 - width(), area.top());
}

// Qt offers no dock type of its own. It writes the window type when it creates the window and
// when the flags change, so this is written afterwards and the flags are left alone.
void TrayPanel::markAsDock() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return;
  xcb_connection_t* connection = x11->connection();
  const xcb_atom_t type = internAtom(connection, "_NET_WM_WINDOW_TYPE");
  const xcb_atom_t dock = internAtom(connection, "_NET_WM_WINDOW_TYPE_DOCK");
  if (type == XCB_ATOM_NONE || dock == XCB_ATOM_NONE) return;
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(winId()), type,
                      XCB_ATOM_ATOM, 32, 1, &dock);
  xcb_flush(connection);
}

void TrayPanel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), kPanelBackground);
  icon_.paint(&painter, rect().adjusted(kIconInset, kIconInset, -kIconInset, -kIconInset));
}

void TrayPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) emit clicked();
  event->accept();
}

}  // namespace platform::x11
