// A pointer (and on KWin a keyboard) for the scenario scripts on the compositor of
// $WAYLAND_DISPLAY: KWin's org_kde_kwin_fake_input where it is offered, else wlroots' virtual
// pointer. Usage:
//   wayland_pointer [LEFT TOP WIDTH HEIGHT] STEP...
// LEFT TOP WIDTH HEIGHT, for the virtual pointer only: the box of the whole output layout in
// logical points, which absolute motion spans (an unmapped pointer moves over all outputs at
// once); KWin takes global points. The steps:
//   move X Y                  to the point (X, Y) in logical points
//   click                     the left button
//   drag X1 Y1 X2 Y2 STEPS    press at (X1, Y1), STEPS moves to (X2, Y2), release
//   key CODE                  (KWin) presses and releases the key of the Linux key code CODE
//   hold                      says "holding" and keeps the device until standard input closes
// Every event ends with a roundtrip, so the compositor has handled it when the next one starts.
// KWin makes one input device per bound fake input, which exists while the tool runs.
#include <linux/input-event-codes.h>
#include <time.h>

#define TOOL_NAME "wayland_pointer"
#include "fake-input-client.h"
#include "wayland_tool.h"
#include "wlr-virtual-pointer-unstable-v1-client.h"

// KWin's fake input has keys from version 4.
enum { kKeyVersion = 4 };

static struct zwlr_virtual_pointer_manager_v1* manager;
static struct zwlr_virtual_pointer_v1* pointer;
static struct org_kde_kwin_fake_input* fake_input;
static long box[4];  // the virtual pointer's: left, top, width, height
static char** arg;   // the word of the command line under way

static void announced(void*, struct wl_registry* registry, uint32_t name, const char* interface,
                      uint32_t version) {
  if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  } else if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && fake_input == NULL &&
             version >= kKeyVersion) {
    fake_input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, kKeyVersion);
  }
}

// The next word of the command line as a number.
static long operand(void) {
  if (*++arg == NULL) tool_fail("a step lacks its numbers");
  return atol(*arg);
}

static uint32_t milliseconds(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

static void settle(void) {
  if (pointer != NULL) zwlr_virtual_pointer_v1_frame(pointer);
  tool_roundtrip();
}

// To the middle of the logical point, not its edge: the virtual pointer's box in half points.
static void move(long x, long y) {
  if (pointer != NULL) {
    zwlr_virtual_pointer_v1_motion_absolute(
        pointer, milliseconds(), (uint32_t)(2 * (x - box[0]) + 1), (uint32_t)(2 * (y - box[1]) + 1),
        (uint32_t)(2 * box[2]), (uint32_t)(2 * box[3]));
  } else {
    org_kde_kwin_fake_input_pointer_motion_absolute(fake_input, wl_fixed_from_double(x + 0.5),
                                                    wl_fixed_from_double(y + 0.5));
  }
  settle();
}

static void button(int pressed) {
  const uint32_t state =
      pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED;
  if (pointer != NULL) {
    zwlr_virtual_pointer_v1_button(pointer, milliseconds(), BTN_LEFT, state);
  } else {
    org_kde_kwin_fake_input_button(fake_input, BTN_LEFT, state);
  }
  settle();
}

static void key(uint32_t code) {
  if (pointer != NULL) tool_fail("the virtual pointer has no keys");
  for (int pressed = 1; pressed >= 0; --pressed) {
    org_kde_kwin_fake_input_keyboard_key(
        fake_input, code, pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    settle();
  }
}

int main(int, char** argv) {
  tool_connect(announced);
  arg = argv;
  if (fake_input != NULL) {
    // KWin ignores a device's requests until it has asked and been granted.
    org_kde_kwin_fake_input_authenticate(fake_input, "Quillmere tests", "scenario input");
  } else if (manager != NULL) {
    for (int i = 0; i < 4; ++i) box[i] = operand();
    pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, NULL);
  } else {
    tool_fail("the compositor offers no virtual pointer and no fake input with keys");
  }
  tool_roundtrip();
  while (*++arg != NULL) {
    if (strcmp(*arg, "move") == 0) {
      const long x = operand();
      move(x, operand());
    } else if (strcmp(*arg, "click") == 0) {
      button(1);
      button(0);
    } else if (strcmp(*arg, "drag") == 0) {
      const long x1 = operand(), y1 = operand(), x2 = operand(), y2 = operand(), n = operand();
      move(x1, y1);
      button(1);
      for (long i = 1; i <= n; ++i) move(x1 + (x2 - x1) * i / n, y1 + (y2 - y1) * i / n);
      button(0);
    } else if (strcmp(*arg, "key") == 0) {
      key((uint32_t)operand());
    } else if (strcmp(*arg, "hold") == 0) {
      puts("holding");
      fflush(stdout);
      char ignored[64];
      while (read(STDIN_FILENO, ignored, sizeof ignored) > 0) {
      }
    } else {
      tool_fail("unknown step");
    }
  }
  return 0;
}
