#include "platform/x11/input/local_key_filter.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QGuiApplication>
#include <QKeyEvent>

#include "platform/x11/input/keyboard_mapping.h"

namespace platform::x11 {

namespace {

// The symbol Qt's own keyboard state gave the key: X core modifiers and layout applied.
xkb_keysym_t symbolUnder(xkb_keymap* keymap, const QKeyEvent& key) {
  std::unique_ptr<xkb_state, StateDeleter> state(xkb_state_new(keymap));
  if (!state) return XKB_KEY_NoSymbol;
  xkb_state_update_mask(state.get(), key.nativeModifiers() & 0xff, 0, 0, 0, 0,
                        layoutFromX(key.nativeModifiers()));
  return xkb_state_key_get_one_sym(state.get(), key.nativeScanCode());
}

// Without an X connection (another Qt platform), Qt's own view of the key is all there is.
Event eventFromQt(const QKeyEvent& key) {
  Event event;
  event.type = EventType::keyDown;
  const Qt::KeyboardModifiers modifiers = key.modifiers();
  if (modifiers & Qt::MetaModifier) event.modifierFlags |= kEventModifierFlagCommand;
  if (modifiers & Qt::ShiftModifier) event.modifierFlags |= kEventModifierFlagShift;
  if (modifiers & Qt::ControlModifier) event.modifierFlags |= kEventModifierFlagControl;
  if (modifiers & Qt::AltModifier) event.modifierFlags |= kEventModifierFlagOption;
  if (key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z) {
    const char letter = static_cast<char>(key.key() - Qt::Key_A);
    event.charactersIgnoringModifiers =
        std::string(1, static_cast<char>(((modifiers & Qt::ShiftModifier) ? 'A' : 'a') + letter));
  } else if (!key.text().isEmpty() && key.text().at(0) >= QChar(0x20)) {
    event.charactersIgnoringModifiers = key.text().toStdString();
  }
  return event;
}

}  // namespace

// The keymap of Qt's own X connection, fetched when first needed and again whenever it no
// longer gives the symbol that Qt saw: Qt keeps its keymap current, so a mismatch means the
// layout changed since.
struct LocalKeyFilter::Keyboard {
  xcb_connection_t* connection = nullptr;
  std::int32_t deviceId = -1;
  std::unique_ptr<xkb_context, ContextDeleter> context;
  std::unique_ptr<xkb_keymap, KeymapDeleter> keymap;

  Keyboard() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) return;
    if (!xkb_x11_setup_xkb_extension(
            x11->connection(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
      return;
    }
    deviceId = xkb_x11_get_core_keyboard_device_id(x11->connection());
    context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (deviceId >= 0 && context) connection = x11->connection();
  }

  void reload() {
    keymap.reset(xkb_x11_keymap_new_from_device(context.get(), connection, deviceId,
                                                XKB_KEYMAP_COMPILE_NO_FLAGS));
  }

  xkb_keymap* keymapFor(const QKeyEvent& key) {
    if (connection == nullptr) return nullptr;
    if (!keymap) {
      reload();
    } else if (key.nativeVirtualKey() != XKB_KEY_NoSymbol &&
               symbolUnder(keymap.get(), key) != key.nativeVirtualKey()) {
      reload();
    }
    return keymap.get();
  }
};

LocalKeyFilter::LocalKeyFilter(QObject* parent) : QObject(parent) {}

LocalKeyFilter::~LocalKeyFilter() = default;

void LocalKeyFilter::setKeyDownHandler(std::function<bool(const Event&)> consume) {
  consume_ = std::move(consume);
}

Event LocalKeyFilter::keyDownEventFor(const QKeyEvent& key) {
  if (!keyboard_) keyboard_ = std::make_unique<Keyboard>();
  if (xkb_keymap* keymap = keyboard_->keymapFor(key)) {
    return keyDownEvent(keymap, key.nativeScanCode(), key.nativeModifiers() & 0xff,
                        layoutFromX(key.nativeModifiers()));
  }
  return eventFromQt(key);
}

// The press is offered at ShortcutOverride, which Qt sends before it looks for a shortcut,
// so that a consumed key triggers no menu shortcut either; the KeyPress that follows, and
// each repetition of either as Qt propagates them, share that one decision.
bool LocalKeyFilter::eventFilter(QObject* /*watched*/, QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) {
    return false;
  }
  auto* key = static_cast<QKeyEvent*>(event);
  const KeyIdentity identity{
      key->timestamp(), key->nativeScanCode(), key->nativeVirtualKey(), key->nativeModifiers(),
      key->key(),       key->isAutoRepeat()};
  if (!lastOffer_ || !(lastOffer_->identity == identity)) {
    const bool consumed = consume_ && consume_(keyDownEventFor(*key));
    lastOffer_ = Offer{identity, consumed};
  }
  if (!lastOffer_->consumed) return false;
  key->accept();
  return true;
}

}  // namespace platform::x11
