#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "platform/wayland/key_press.h"

struct wl_seat;
struct wl_pointer;
struct wl_keyboard;
struct wl_surface;

namespace platform::wayland {

// What one of our own surfaces hears of the pointer and the keyboard. Positions are in the
// surface's own points; while a button is held the compositor keeps sending motion to the
// surface it was pressed on, so positions may then lie outside it.
class InputTarget {
 public:
  virtual ~InputTarget() = default;
  virtual void pointerMoved(double x, double y) = 0;
  virtual void pointerLeft() {}
  virtual void pointerButton(double x, double y, bool pressed) = 0;
  virtual void keyPressed(const KeyPress& /*key*/) {}
};

// The seat of our own connection: its pointer and keyboard, asked for only while the seat
// advertises them (a compositor without input devices answers a request for a keyboard with
// a protocol error), and handed to the target registered for the surface they are on.
class WaylandSeat final {
 public:
  explicit WaylandSeat(wl_seat* seat);
  ~WaylandSeat();
  WaylandSeat(const WaylandSeat&) = delete;
  WaylandSeat& operator=(const WaylandSeat&) = delete;

  void setTarget(wl_surface* surface, InputTarget* target);
  void removeTarget(wl_surface* surface);

  // The listeners' events.
  void capabilitiesChanged(std::uint32_t capabilities);
  void pointerEntered(wl_surface* surface, double x, double y);
  void pointerLeft();
  void pointerMoved(double x, double y);
  void pointerButton(std::uint32_t button, bool pressed);
  void keymapArrived(int fd, std::uint32_t size);
  void keyboardEntered(wl_surface* surface);
  void keyboardLeft();
  void keyChanged(std::uint32_t key, bool pressed);
  void modifiersChanged(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                        std::uint32_t group);

 private:
  struct Keyboard;
  InputTarget* targetOf(wl_surface* surface) const;

  wl_seat* seat_;
  wl_pointer* pointer_ = nullptr;
  wl_keyboard* keyboard_ = nullptr;
  std::unique_ptr<Keyboard> keys_;
  std::unordered_map<wl_surface*, InputTarget*> targets_;
  wl_surface* pointerSurface_ = nullptr;
  wl_surface* keyboardSurface_ = nullptr;
  double pointerX_ = 0;
  double pointerY_ = 0;
};

}  // namespace platform::wayland
