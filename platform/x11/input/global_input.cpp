#include "platform/x11/input/global_input.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>
// xcb/xkb.h names a struct field "explicit", a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>

#include "platform/x11/input/keyboard_mapping.h"

namespace platform::x11 {

namespace {

// Pointer moves are delivered at most this often, on the trailing edge.
constexpr int kPointerIntervalMs = 10;

// The X server must speak at least this XInput version for raw events on the root.
constexpr std::uint32_t kXiMajor = 2;
constexpr std::uint32_t kXiMinor = 2;

constexpr std::uint16_t kXkbEvents = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
constexpr std::uint16_t kXkbMapParts =
    XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
    XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS |
    XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
constexpr std::uint16_t kXkbStateParts =
    XCB_XKB_STATE_PART_MODIFIER_BASE | XCB_XKB_STATE_PART_MODIFIER_LATCH |
    XCB_XKB_STATE_PART_MODIFIER_LOCK | XCB_XKB_STATE_PART_GROUP_BASE |
    XCB_XKB_STATE_PART_GROUP_LATCH | XCB_XKB_STATE_PART_GROUP_LOCK;

// The XKB event layout common to all its notifications: the kind sits in the second byte.
struct XkbAnyEvent {
  std::uint8_t responseType;
  std::uint8_t xkbType;
  std::uint16_t sequence;
  xcb_timestamp_t time;
  std::uint8_t deviceId;
};

}  // namespace

struct GlobalInput::State {
  xcb_connection_t* connection = nullptr;
  xcb_window_t root = XCB_WINDOW_NONE;
  bool available = false;
  bool lost = false;

  std::uint8_t xiOpcode = 0;
  std::uint8_t xkbEventBase = 0;
  std::int32_t keyboardId = -1;
  std::unique_ptr<xkb_context, ContextDeleter> xkbContext;
  std::unique_ptr<xkb_keymap, KeymapDeleter> keymap;
  std::unique_ptr<xkb_state, StateDeleter> keyboardState;

  QSocketNotifier* notifier = nullptr;
  QTimer pointerTimer;
  bool drainPosted = false;
  bool keysSuppressed = false;
  // The position being delivered, while the pointer-moved handler runs.
  std::optional<QPoint> delivering;

  std::function<void(QPoint)> pointerMoved;
  std::function<void(const Event&)> keyDown;
  GlobalInput* owner = nullptr;

  std::optional<QPoint> queryPointer();
  void reloadKeymap();
  void postDrain();
  void drain();
  void handleEvent(const xcb_generic_event_t* event);
  void handleXkbEvent(const xcb_generic_event_t* event);
  void handleRawMotion(const xcb_input_raw_motion_event_t* event);
  void deliverPointer();
  void handleRawKeyPress(const xcb_input_raw_key_press_event_t* event);
};

namespace {

bool setUpXInput(xcb_connection_t* connection, xcb_window_t root, std::uint8_t& opcode) {
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_input_id);
  if (extension == nullptr || !extension->present) return false;
  opcode = extension->major_opcode;

  xcb_input_xi_query_version_reply_t* version = xcb_input_xi_query_version_reply(
      connection, xcb_input_xi_query_version(connection, kXiMajor, kXiMinor), nullptr);
  if (version == nullptr) return false;
  const bool recentEnough =
      version->major_version > kXiMajor ||
      (version->major_version == kXiMajor && version->minor_version >= kXiMinor);
  std::free(version);
  if (!recentEnough) return false;

  struct {
    xcb_input_event_mask_t head;
    std::uint32_t mask;
  } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
              XCB_INPUT_XI_EVENT_MASK_RAW_MOTION | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS};
  xcb_generic_error_t* error = xcb_request_check(
      connection, xcb_input_xi_select_events_checked(connection, root, 1, &selection.head));
  if (error != nullptr) {
    std::free(error);
    return false;
  }
  return true;
}

}  // namespace

GlobalInput::GlobalInput(const QByteArray& displayName, QObject* parent)
    : QObject(parent), state_(std::make_unique<State>()) {
  State& s = *state_;
  s.owner = this;
  int screenNumber = 0;
  s.connection =
      xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
  if (xcb_connection_has_error(s.connection)) return;

  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(s.connection));
  for (int i = 0; screens.rem > 0 && i < screenNumber; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return;
  s.root = screens.data->root;

  if (!setUpXInput(s.connection, s.root, s.xiOpcode)) return;

  // Without XKB the keys still arrive, with no modifiers and no text.
  if (xkb_x11_setup_xkb_extension(
          s.connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
          XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &s.xkbEventBase, nullptr)) {
    s.keyboardId = xkb_x11_get_core_keyboard_device_id(s.connection);
    s.xkbContext.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (s.keyboardId >= 0 && s.xkbContext) {
      xcb_xkb_select_events_details_t details{};
      details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
      details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
      details.affectState = kXkbStateParts;
      details.stateDetails = kXkbStateParts;
      xcb_xkb_select_events_aux(s.connection, static_cast<xcb_xkb_device_spec_t>(s.keyboardId),
                                kXkbEvents, 0, 0, kXkbMapParts, kXkbMapParts, &details);
      s.reloadKeymap();
    }
  }
  xcb_flush(s.connection);

  s.pointerTimer.setSingleShot(true);
  s.pointerTimer.setTimerType(Qt::PreciseTimer);
  s.pointerTimer.setInterval(kPointerIntervalMs);
  connect(&s.pointerTimer, &QTimer::timeout, this, [&s] { s.deliverPointer(); });

  s.notifier =
      new QSocketNotifier(xcb_get_file_descriptor(s.connection), QSocketNotifier::Read, this);
  connect(s.notifier, &QSocketNotifier::activated, this, [&s] { s.drain(); });
  s.available = true;
}

GlobalInput::~GlobalInput() {
  // The notifier goes before the socket it watches.
  delete state_->notifier;
  state_->notifier = nullptr;
  if (state_->connection != nullptr) xcb_disconnect(state_->connection);
}

bool GlobalInput::available() const {
  return state_->available && !state_->lost;
}

void GlobalInput::setPointerMovedHandler(std::function<void(QPoint)> handler) {
  state_->pointerMoved = std::move(handler);
}

void GlobalInput::setKeyDownHandler(std::function<void(const Event&)> handler) {
  state_->keyDown = std::move(handler);
}

void GlobalInput::setKeysSuppressed(bool suppressed) {
  state_->keysSuppressed = suppressed;
}

std::optional<QPoint> GlobalInput::queryPointer() {
  return state_->queryPointer();
}

std::optional<QPoint> GlobalInput::State::queryPointer() {
  State& s = *this;
  if (s.delivering) return s.delivering;
  if (!s.available || s.lost) return std::nullopt;
  xcb_query_pointer_reply_t* reply =
      xcb_query_pointer_reply(s.connection, xcb_query_pointer(s.connection, s.root), nullptr);
  // A round trip may have queued events that the socket will not announce again.
  postDrain();
  if (reply == nullptr) return std::nullopt;
  const QPoint position(reply->root_x, reply->root_y);
  std::free(reply);
  return position;
}

// The keymap is fetched whole at start and whenever the server's mapping changes.
void GlobalInput::State::reloadKeymap() {
  State& s = *this;
  std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(xkb_x11_keymap_new_from_device(
      s.xkbContext.get(), s.connection, s.keyboardId, XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return;
  std::unique_ptr<xkb_state, StateDeleter> state(
      xkb_x11_state_new_from_device(keymap.get(), s.connection, s.keyboardId));
  if (!state) return;
  s.keymap = std::move(keymap);
  s.keyboardState = std::move(state);
}

void GlobalInput::State::postDrain() {
  State& s = *this;
  if (s.drainPosted) return;
  s.drainPosted = true;
  QMetaObject::invokeMethod(
      owner, [this] { drain(); }, Qt::QueuedConnection);
}

// Handles every event already read or readable now, in order, so that an XKB state change
// is applied before the key press that follows it.
void GlobalInput::State::drain() {
  State& s = *this;
  s.drainPosted = false;
  if (s.lost || s.connection == nullptr) return;
  while (xcb_generic_event_t* event = xcb_poll_for_event(s.connection)) {
    handleEvent(event);
    std::free(event);
    if (s.lost) return;
  }
  if (xcb_connection_has_error(s.connection)) {
    s.lost = true;
    if (s.notifier != nullptr) s.notifier->setEnabled(false);
    s.pointerTimer.stop();
    emit owner->connectionLost();
  }
}

void GlobalInput::State::handleEvent(const xcb_generic_event_t* event) {
  State& s = *this;
  const std::uint8_t type = event->response_type & 0x7f;
  if (type == XCB_GE_GENERIC) {
    const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
    if (generic->extension != s.xiOpcode) return;
    if (generic->event_type == XCB_INPUT_RAW_MOTION) {
      handleRawMotion(reinterpret_cast<const xcb_input_raw_motion_event_t*>(event));
    } else if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS) {
      handleRawKeyPress(reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event));
    }
  } else if (s.xkbEventBase != 0 && type == s.xkbEventBase) {
    handleXkbEvent(event);
  }
}

void GlobalInput::State::handleXkbEvent(const xcb_generic_event_t* event) {
  State& s = *this;
  const auto* any = reinterpret_cast<const XkbAnyEvent*>(event);
  if (any->deviceId != s.keyboardId) return;
  switch (any->xkbType) {
    case XCB_XKB_NEW_KEYBOARD_NOTIFY: {
      const auto* notify = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t*>(event);
      if (notify->changed & XCB_XKB_NKN_DETAIL_KEYCODES) reloadKeymap();
      break;
    }
    case XCB_XKB_MAP_NOTIFY:
      s.reloadKeymap();
      break;
    case XCB_XKB_STATE_NOTIFY: {
      if (!s.keyboardState) break;
      const auto* notify = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
      xkb_state_update_mask(s.keyboardState.get(), notify->baseMods, notify->latchedMods,
                            notify->lockedMods, static_cast<xkb_layout_index_t>(notify->baseGroup),
                            static_cast<xkb_layout_index_t>(notify->latchedGroup),
                            notify->lockedGroup);
      break;
    }
    default:
      break;
  }
}

// Only a change of the x or y axis is a move; a wheel also reports raw motion on its axes.
void GlobalInput::State::handleRawMotion(const xcb_input_raw_motion_event_t* event) {
  State& s = *this;
  if (!s.pointerMoved || event->valuators_len == 0) return;
  const std::uint32_t* mask = xcb_input_raw_button_press_valuator_mask(event);
  if ((mask[0] & 0x3) == 0) return;
  if (!s.pointerTimer.isActive()) s.pointerTimer.start();
}

void GlobalInput::State::deliverPointer() {
  State& s = *this;
  if (!s.pointerMoved) return;
  const std::optional<QPoint> position = queryPointer();
  if (!position) return;
  s.delivering = position;
  s.pointerMoved(*position);
  s.delivering.reset();
}

void GlobalInput::State::handleRawKeyPress(const xcb_input_raw_key_press_event_t* event) {
  State& s = *this;
  if (s.keysSuppressed || !s.keyDown) return;
  std::uint32_t mods = 0;
  xkb_layout_index_t layout = 0;
  if (s.keyboardState) {
    mods = xkb_state_serialize_mods(s.keyboardState.get(), XKB_STATE_MODS_EFFECTIVE) & 0xff;
    layout = xkb_state_serialize_layout(s.keyboardState.get(), XKB_STATE_LAYOUT_EFFECTIVE);
  }
  s.keyDown(keyDownEvent(s.keymap.get(), event->detail, mods, layout));
}

}  // namespace platform::x11
