#include "platform/wayland/key_press.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <array>
#include <utility>

namespace platform::wayland {

namespace {
constexpr std::array<std::pair<std::uint32_t, int>, 10> kNamedKeys{{
    {XKB_KEY_Escape, Qt::Key_Escape},
    {XKB_KEY_Return, Qt::Key_Return},
    {XKB_KEY_KP_Enter, Qt::Key_Enter},
    {XKB_KEY_space, Qt::Key_Space},
    {XKB_KEY_Up, Qt::Key_Up},
    {XKB_KEY_Down, Qt::Key_Down},
    {XKB_KEY_Left, Qt::Key_Left},
    {XKB_KEY_Right, Qt::Key_Right},
    {XKB_KEY_Home, Qt::Key_Home},
    {XKB_KEY_End, Qt::Key_End},
}};
}  // namespace

int qtKeyFor(std::uint32_t symbol) {
  if (symbol >= XKB_KEY_a && symbol <= XKB_KEY_z) return Qt::Key_A + int(symbol - XKB_KEY_a);
  if (symbol >= XKB_KEY_A && symbol <= XKB_KEY_Z) return Qt::Key_A + int(symbol - XKB_KEY_A);
  if (symbol >= XKB_KEY_0 && symbol <= XKB_KEY_9) return Qt::Key_0 + int(symbol - XKB_KEY_0);
  for (const auto& [named, key] : kNamedKeys) {
    if (named == symbol) return key;
  }
  return 0;
}

Qt::KeyboardModifiers qtModifiersFor(const KeyPress& key) {
  Qt::KeyboardModifiers modifiers;
  if (key.super) modifiers |= Qt::MetaModifier;
  if (key.shift) modifiers |= Qt::ShiftModifier;
  if (key.control) modifiers |= Qt::ControlModifier;
  if (key.alt) modifiers |= Qt::AltModifier;
  return modifiers;
}

Event keyDownEventFor(const KeyPress& key) {
  Event event;
  event.type = EventType::keyDown;
  if (key.super) event.modifierFlags |= kEventModifierFlagCommand;
  if (key.shift) event.modifierFlags |= kEventModifierFlagShift;
  if (key.control) event.modifierFlags |= kEventModifierFlagControl;
  if (key.alt) event.modifierFlags |= kEventModifierFlagOption;
  const int qtKey = qtKeyFor(key.symbol);
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
    const char base = key.shift ? 'A' : 'a';
    event.charactersIgnoringModifiers = std::string(1, static_cast<char>(base + qtKey - Qt::Key_A));
  } else if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
    event.charactersIgnoringModifiers = std::string(1, static_cast<char>('0' + qtKey - Qt::Key_0));
  }
  return event;
}

}  // namespace platform::wayland
