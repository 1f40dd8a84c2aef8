// What the scenario scripts' small Wayland tools share: the connection, a failure's line on
// standard error (prefixed with TOOL_NAME, which the tool defines first), and the input tools'
// steps, given on the command line:
//   move X Y                  to the point (X, Y) in logical points
//   click                     the left button
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

static struct wl_display* tool_display;
static struct wl_registry* tool_registry;
static int tool_step;  // the word (from 1) of the input step under way; 0 before the steps

// Ends the tool with status 1 and one line on standard error.
static inline _Noreturn void tool_fail(const char* what) {
  fputs(TOOL_NAME ": ", stderr);
  if (tool_step > 0) fprintf(stderr, "step %d failed: ", tool_step);
  fprintf(stderr, "%s\n", what);
  exit(1);
}

static inline void tool_roundtrip(void) {
  if (wl_display_roundtrip(tool_display) < 0) tool_fail("the compositor closed the connection");
}

static inline void tool_withdrawn(void*, struct wl_registry*, uint32_t) {}

// Connects to $WAYLAND_DISPLAY and hands every global to `announced`.
static inline void tool_connect(void (*announced)(void*, struct wl_registry*, uint32_t, const char*,
                                                  uint32_t)) {
  static struct wl_registry_listener listener;
  listener = (struct wl_registry_listener){announced, tool_withdrawn};
  tool_display = wl_display_connect(NULL);
  if (tool_display == NULL) tool_fail("no Wayland compositor to connect to");
  tool_registry = wl_display_get_registry(tool_display);
  wl_registry_add_listener(tool_registry, &listener, NULL);
  tool_roundtrip();
}

static inline void tool_disconnect(void) {
  wl_registry_destroy(tool_registry);
  wl_display_disconnect(tool_display);
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

static inline void input_settle(const struct input_device* device) {
  if (device->frame != NULL) device->frame();
  tool_roundtrip();
}

// Presses and releases the left button, or the key `code` where that is 0 or more.
static inline void input_tap(const struct input_device* device, long code) {
  for (int pressed = 1; pressed >= 0; --pressed) {
    code < 0 ? device->button(pressed) : device->key((uint32_t)code, pressed);
    input_settle(device);
  }
}

static inline void input_step(const struct input_device* device, const char* step,
                              const long* values) {
  const int drag = strcmp(step, "drag") == 0;
  if (drag || strcmp(step, "move") == 0) {
    if (!device->reaches(values[0], values[1]) ||
        (drag && !device->reaches(values[2], values[3]))) {
      tool_fail("a point lies outside what the device reaches");
    }
    device->move(values[0], values[1]);
    input_settle(device);
    if (!drag) return;
    const long steps = values[4] > 0 ? values[4] : 1;
    device->button(1);
    input_settle(device);
    for (long i = 1; i <= steps; ++i) {
      device->move(values[0] + (values[2] - values[0]) * i / steps,
                   values[1] + (values[3] - values[1]) * i / steps);
      input_settle(device);
    }
    device->button(0);
    input_settle(device);
  } else if (strcmp(step, "click") == 0) {
    input_tap(device, -1);
  } else if (strcmp(step, "key") == 0) {
    if (device->key == NULL) tool_fail("the compositor's input device has no keys");
    if (values[0] < 0) tool_fail("a key code is below 0");
    input_tap(device, values[0]);
  } else if (strcmp(step, "hold") == 0) {
    puts("holding");
    fflush(stdout);
    char ignored[64];
    while (read(STDIN_FILENO, ignored, sizeof ignored) > 0) {
    }
  } else {
    tool_fail("unknown step");
  }
}

// Runs the steps in argv and disconnects; the tool's status.
static inline int input_steps(const struct input_device* device, int argc, char** argv) {
  long values[5];
  for (int at = 0; at < argc;) {
    const char* step = argv[at];
    const int operands = strcmp(step, "move") == 0   ? 2
                         : strcmp(step, "drag") == 0 ? 5
                         : strcmp(step, "key") == 0  ? 1
                                                     : 0;
    tool_step = at + 1;
    if (at + operands >= argc) tool_fail("a step lacks its numbers");
    for (int i = 0; i < operands; ++i) {
      if (!tool_number(argv[at + 1 + i], &values[i])) tool_fail("a step's number is not whole");
    }
    input_step(device, step, values);
    at += 1 + operands;
  }
  tool_disconnect();
  return 0;
}
