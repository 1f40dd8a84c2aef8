#include "platform/wayland/wayland_seat.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cstring>

#include "platform/wayland/wayland_protocols.h"

namespace platform::wayland {

namespace {

WaylandSeat& seatOf(void* data) {
  return *static_cast<WaylandSeat*>(data);
}

constexpr wl_seat_listener kSeatListener{
    [](void* data, wl_seat*, std::uint32_t capabilities) {
      seatOf(data).capabilitiesChanged(capabilities);
    },
    [](void*, wl_seat*, const char*) {},  // name
};

constexpr wl_pointer_listener kPointerListener{
    [](void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
      seatOf(data).pointerEntered(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    [](void* data, wl_pointer*, std::uint32_t, wl_surface*) { seatOf(data).pointerLeft(); },
    [](void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
      seatOf(data).pointerMoved(wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
       std::uint32_t state) {
      seatOf(data).pointerButton(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
    },
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {},  // axis
    [](void*, wl_pointer*) {},                                            // frame
    [](void*, wl_pointer*, std::uint32_t) {},                             // axis_source
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},              // axis_stop
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},               // axis_discrete
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},               // axis_value120
};

constexpr wl_keyboard_listener kKeyboardListener{
    [](void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
      if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        seatOf(data).keymapArrived(fd, size);
      }
      close(fd);
    },
    [](void* data, wl_keyboard*, std::uint32_t, wl_surface* surface, wl_array*) {
      seatOf(data).keyboardEntered(surface);
    },
    [](void* data, wl_keyboard*, std::uint32_t, wl_surface*) { seatOf(data).keyboardLeft(); },
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
       std::uint32_t state) {
      seatOf(data).keyChanged(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
    },
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched,
       std::uint32_t locked,
       std::uint32_t group) { seatOf(data).modifiersChanged(depressed, latched, locked, group); },
    [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},  // repeat_info
};

// Evdev key codes are xkb key codes less 8.
constexpr std::uint32_t kEvdevOffset = 8;
// A keymap is a few tens of kilobytes; anything far larger is not one.
constexpr std::uint32_t kLargestKeymap = 16u << 20;

}  // namespace

struct WaylandSeat::Keyboard {
  struct ContextDeleter {
    void operator()(xkb_context* c) const { xkb_context_unref(c); }
  };
  struct KeymapDeleter {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
  };
  struct StateDeleter {
    void operator()(xkb_state* s) const { xkb_state_unref(s); }
  };
  std::unique_ptr<xkb_context, ContextDeleter> context{xkb_context_new(XKB_CONTEXT_NO_FLAGS)};
  std::unique_ptr<xkb_keymap, KeymapDeleter> keymap;
  std::unique_ptr<xkb_state, StateDeleter> state;

  bool active(const char* modifier) const {
    return xkb_state_mod_name_is_active(state.get(), modifier, XKB_STATE_MODS_EFFECTIVE) > 0;
  }
};

WaylandSeat::WaylandSeat(wl_seat* seat) : seat_(seat), keys_(std::make_unique<Keyboard>()) {
  wl_seat_add_listener(seat_, &kSeatListener, this);
}

WaylandSeat::~WaylandSeat() {
  capabilitiesChanged(0);
  if (wl_seat_get_version(seat_) >= WL_SEAT_RELEASE_SINCE_VERSION) {
    wl_seat_release(seat_);
  } else {
    wl_seat_destroy(seat_);
  }
}

void WaylandSeat::setTarget(wl_surface* surface, InputTarget* target) {
  targets_[surface] = target;
}

// The surface is about to be destroyed; no event names it afterwards.
void WaylandSeat::removeTarget(wl_surface* surface) {
  targets_.erase(surface);
  if (pointerSurface_ == surface) pointerSurface_ = nullptr;
  if (keyboardSurface_ == surface) keyboardSurface_ = nullptr;
}

InputTarget* WaylandSeat::targetOf(wl_surface* surface) const {
  const auto found = targets_.find(surface);
  return found == targets_.end() ? nullptr : found->second;
}

void WaylandSeat::capabilitiesChanged(std::uint32_t capabilities) {
  const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  const bool canRelease = wl_seat_get_version(seat_) >= WL_POINTER_RELEASE_SINCE_VERSION;
  if (pointer && pointer_ == nullptr) {
    pointer_ = wl_seat_get_pointer(seat_);
    wl_pointer_add_listener(pointer_, &kPointerListener, this);
  } else if (!pointer && pointer_ != nullptr) {
    canRelease ? wl_pointer_release(pointer_) : wl_pointer_destroy(pointer_);
    pointer_ = nullptr;
    pointerSurface_ = nullptr;
  }
  if (keyboard && keyboard_ == nullptr) {
    keyboard_ = wl_seat_get_keyboard(seat_);
    wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
  } else if (!keyboard && keyboard_ != nullptr) {
    canRelease ? wl_keyboard_release(keyboard_) : wl_keyboard_destroy(keyboard_);
    keyboard_ = nullptr;
    keyboardSurface_ = nullptr;
  }
}

void WaylandSeat::pointerEntered(wl_surface* surface, double x, double y) {
  pointerSurface_ = surface;
  pointerMoved(x, y);
}

void WaylandSeat::pointerLeft() {
  if (InputTarget* target = targetOf(pointerSurface_)) target->pointerLeft();
  pointerSurface_ = nullptr;
}

void WaylandSeat::pointerMoved(double x, double y) {
  pointerX_ = x;
  pointerY_ = y;
  if (InputTarget* target = targetOf(pointerSurface_)) target->pointerMoved(x, y);
}

void WaylandSeat::pointerButton(std::uint32_t button, bool pressed) {
  if (button != BTN_LEFT && button != BTN_RIGHT) return;
  if (InputTarget* target = targetOf(pointerSurface_)) {
    target->pointerButton(pointerX_, pointerY_, pressed);
  }
}

void WaylandSeat::keymapArrived(int fd, std::uint32_t size) {
  if (!keys_->context || size == 0 || size > kLargestKeymap) return;
  void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (text == MAP_FAILED) return;
  // The text ends with a NUL within its size; the length given excludes it.
  xkb_keymap* keymap =
      xkb_keymap_new_from_buffer(keys_->context.get(), static_cast<const char*>(text),
                                 strnlen(static_cast<const char*>(text), size),
                                 XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
  munmap(text, size);
  if (keymap == nullptr) return;
  keys_->keymap.reset(keymap);
  keys_->state.reset(xkb_state_new(keymap));
}

void WaylandSeat::keyboardEntered(wl_surface* surface) {
  keyboardSurface_ = surface;
}

void WaylandSeat::keyboardLeft() {
  keyboardSurface_ = nullptr;
}

void WaylandSeat::keyChanged(std::uint32_t key, bool pressed) {
  if (!pressed || !keys_->state) return;
  InputTarget* target = targetOf(keyboardSurface_);
  if (target == nullptr) return;
  KeyPress press;
  press.symbol = xkb_state_key_get_one_sym(keys_->state.get(), key + kEvdevOffset);
  press.super = keys_->active(XKB_MOD_NAME_LOGO);
  press.shift = keys_->active(XKB_MOD_NAME_SHIFT);
  press.control = keys_->active(XKB_MOD_NAME_CTRL);
  press.alt = keys_->active(XKB_MOD_NAME_ALT);
  target->keyPressed(press);
}

void WaylandSeat::modifiersChanged(std::uint32_t depressed, std::uint32_t latched,
                                   std::uint32_t locked, std::uint32_t group) {
  if (keys_->state)
    xkb_state_update_mask(keys_->state.get(), depressed, latched, locked, 0, 0, group);
}

}  // namespace platform::wayland
