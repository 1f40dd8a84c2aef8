// What the scenario scripts' small Wayland tools share: the connection, a failure's line on
// standard error (prefixed with TOOL_NAME, which the tool defines first), and the input tools'
// steps, given on the command line:
//   move X Y                  to the point (X, Y) in logical points
//   press | release | click   the left button
//   drag X1 Y1 X2 Y2 STEPS    press at (X1, Y1), STEPS moves to (X2, Y2), release
//   key CODE                  presses and releases the key of the Linux key code CODE
//   hold                      says "holding" and keeps the device until standard input closes
// Every step ends with a roundtrip, so the compositor has handled it when the next one starts.
// Status 0 on success; 1 and one line on standard error otherwise.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wayland-client.h>

// Ends the tool with status 1 and one line on standard error.
static inline _Noreturn void tool_fail(const char* what) {
  fprintf(stderr, TOOL_NAME ": %s\n", what);
  exit(1);
}

static inline void tool_withdrawn(void*, struct wl_registry*, uint32_t) {}

// Connects to $WAYLAND_DISPLAY and hands every global to `announced`.
static inline struct wl_display* tool_connect(void (*announced)(void*, struct wl_registry*,
                                                                uint32_t, const char*, uint32_t)) {
  static struct wl_registry_listener listener;
  listener = (struct wl_registry_listener){announced, tool_withdrawn};
  struct wl_display* display = wl_display_connect(NULL);
  if (display == NULL) tool_fail("no Wayland compositor to connect to");
  wl_registry_add_listener(wl_display_get_registry(display), &listener, NULL);
  if (wl_display_roundtrip(display) < 0) tool_fail("the compositor closed the connection");
  return display;
}

// A whole number of plausible size into *value.
static inline int tool_number(const char* text, long* value) {
  char* end = NULL;
  *value = strtol(text, &end, 10);
  return end != text && *end == '\0' && labs(*value) <= 1000000;
}

// What an input tool's device does.
struct input_device {
  int (*reaches)(long x, long y);  // whether the device moves to (x, y) at all
  void (*move)(long x, long y);
  void (*button)(int pressed);              // the left button
  void (*key)(uint32_t code, int pressed);  // NULL where the device has no keys
  void (*frame)(void);                      // NULL where the device's events need no frame
};

static inline int input_settle(struct wl_display* display, const struct input_device* device) {
  if (device->frame != NULL) device->frame();
  return wl_display_roundtrip(display) >= 0;
}

// Presses and releases the left button, or the key `code` where that is 0 or more.
static inline int input_tap(struct wl_display* display, const struct input_device* device,
                            long code) {
  int ok = 1;
  for (int pressed = 1; pressed >= 0; --pressed) {
    if (code < 0) {
      device->button(pressed);
    } else {
      device->key((uint32_t)code, pressed);
    }
    ok = input_settle(display, device) && ok;
  }
  return ok;
}

// One step with its numbers; NULL once done, otherwise why it failed.
static inline const char* input_step(struct wl_display* display, const struct input_device* device,
                                     const char* step, const long* values) {
  const char* closed = "the compositor closed the connection";
  const int drag = strcmp(step, "drag") == 0;
  if (drag || strcmp(step, "move") == 0) {
    if (!device->reaches(values[0], values[1]) ||
        (drag && !device->reaches(values[2], values[3]))) {
      return "a point lies outside what the device reaches";
    }
    device->move(values[0], values[1]);
    if (!input_settle(display, device)) return closed;
    if (!drag) return NULL;
    const long steps = values[4] > 0 ? values[4] : 1;
    device->button(1);
    int ok = input_settle(display, device);
    for (long i = 1; ok && i <= steps; ++i) {
      device->move(values[0] + (values[2] - values[0]) * i / steps,
                   values[1] + (values[3] - values[1]) * i / steps);
      ok = input_settle(display, device);
    }
    device->button(0);
    return ok && input_settle(display, device) ? NULL : closed;
  }
  if (strcmp(step, "press") == 0 || strcmp(step, "release") == 0) {
    device->button(step[0] == 'p');
    return input_settle(display, device) ? NULL : closed;
  }
  if (strcmp(step, "click") == 0) return input_tap(display, device, -1) ? NULL : closed;
  if (strcmp(step, "key") == 0) {
    if (device->key == NULL) return "the compositor's input device has no keys";
    if (values[0] < 0) return "a key code is below 0";
    return input_tap(display, device, values[0]) ? NULL : closed;
  }
  if (strcmp(step, "hold") == 0) {
    puts("holding");
    fflush(stdout);
    char ignored[64];
    while (read(STDIN_FILENO, ignored, sizeof ignored) > 0) {
    }
    return NULL;
  }
  return "unknown step";
}

// Runs the steps in argv, says which one failed and why, and disconnects; the tool's status.
static inline int input_steps(struct wl_display* display, const struct input_device* device,
                              int argc, char** argv) {
  long values[5];
  for (int at = 0; at < argc;) {
    const char* step = argv[at];
    const int operands = strcmp(step, "move") == 0   ? 2
                         : strcmp(step, "drag") == 0 ? 5
                         : strcmp(step, "key") == 0  ? 1
                                                     : 0;
    const char* why = at + operands >= argc ? "a step lacks its numbers" : NULL;
    for (int i = 0; why == NULL && i < operands; ++i) {
      if (!tool_number(argv[at + 1 + i], &values[i])) why = "a step's number is not a whole number";
    }
    if (why == NULL) why = input_step(display, device, step, values);
    if (why != NULL) {
      fprintf(stderr, TOOL_NAME ": step %d failed: %s\n", at + 1,
              wl_display_get_error(display) != 0 ? "the compositor closed the connection" : why);
      return 1;
    }
    at += 1 + operands;
  }
  wl_display_disconnect(display);
  return 0;
}
