// A virtual pointer for the scenario scripts: moves, presses and releases the left button, as
// steps given on the command line, on the compositor of $WAYLAND_DISPLAY.
//   wayland_pointer LEFT TOP WIDTH HEIGHT STEP...
// LEFT TOP WIDTH HEIGHT: the box of the whole output layout in logical points, which absolute
// motion spans (an unmapped pointer moves over all outputs at once). Steps:
//   move X Y                  to layout point (X, Y)
//   press | release | click   the left button
//   drag X1 Y1 X2 Y2 STEPS    press at (X1, Y1), STEPS moves to (X2, Y2), release
//   hold                      says "holding" and keeps the pointer until standard input closes
// Every step ends with a frame and a roundtrip, so the compositor has handled it when the next
// one starts. Status 0 on success; 1 and one line on standard error otherwise.
#include <linux/input-event-codes.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client.h"

struct layout {
  long left, top, width, height;
};

static struct zwlr_virtual_pointer_manager_v1* manager;

static void announced(void* data, struct wl_registry* registry, uint32_t name,
                      const char* interface, uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  }
}

static void withdrawn(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {announced, withdrawn};

static int fail(const char* what) {
  fprintf(stderr, "wayland_pointer: %s\n", what);
  return 1;
}

static uint32_t milliseconds(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// A whole number of plausible size into *value; 0 where the text is none.
static int number(const char* text, long* value) {
  char* end = NULL;
  *value = strtol(text, &end, 10);
  return end != text && *end == '\0' && labs(*value) <= 1000000;
}

// Doubled, plus one: the pointer lands in the middle of the logical point, not on its edge.
static int move_to(struct zwlr_virtual_pointer_v1* pointer, const struct layout* box, long x,
                   long y) {
  if (x < box->left || y < box->top || x >= box->left + box->width || y >= box->top + box->height) {
    return 0;
  }
  zwlr_virtual_pointer_v1_motion_absolute(
      pointer, milliseconds(), (uint32_t)(2 * (x - box->left) + 1),
      (uint32_t)(2 * (y - box->top) + 1), (uint32_t)(2 * box->width), (uint32_t)(2 * box->height));
  return 1;
}

static void button(struct zwlr_virtual_pointer_v1* pointer, int pressed) {
  zwlr_virtual_pointer_v1_button(
      pointer, milliseconds(), BTN_LEFT,
      pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
}

static int settle(struct wl_display* display, struct zwlr_virtual_pointer_v1* pointer) {
  zwlr_virtual_pointer_v1_frame(pointer);
  return wl_display_roundtrip(display) >= 0;
}

// Runs the steps from argv; the number (from 1) of the word at which a step went wrong, or 0.
static int run_steps(struct wl_display* display, struct zwlr_virtual_pointer_v1* pointer,
                     const struct layout* box, int argc, char** argv, const char** why) {
  long values[5];
  for (int at = 0; at < argc;) {
    const char* step = argv[at];
    const int operands = strcmp(step, "move") == 0 ? 2 : strcmp(step, "drag") == 0 ? 5 : 0;
    if (at + operands >= argc) {
      *why = "a step lacks its numbers";
      return at + 1;
    }
    for (int i = 0; i < operands; ++i) {
      if (!number(argv[at + 1 + i], &values[i])) {
        *why = "a step's number is not a whole number";
        return at + 1;
      }
    }
    *why = "a point lies outside the output layout";
    int ok = 1;
    if (strcmp(step, "move") == 0) {
      ok = move_to(pointer, box, values[0], values[1]) && settle(display, pointer);
    } else if (strcmp(step, "press") == 0 || strcmp(step, "release") == 0) {
      button(pointer, step[0] == 'p');
      ok = settle(display, pointer);
    } else if (strcmp(step, "click") == 0) {
      button(pointer, 1);
      ok = settle(display, pointer);
      button(pointer, 0);
      ok = ok && settle(display, pointer);
    } else if (strcmp(step, "drag") == 0) {
      const long steps = values[4] > 0 ? values[4] : 1;
      ok = move_to(pointer, box, values[0], values[1]) && settle(display, pointer);
      button(pointer, 1);
      ok = ok && settle(display, pointer);
      for (long i = 1; ok && i <= steps; ++i) {
        ok = move_to(pointer, box, values[0] + (values[2] - values[0]) * i / steps,
                     values[1] + (values[3] - values[1]) * i / steps) &&
             settle(display, pointer);
      }
      button(pointer, 0);
      ok = ok && settle(display, pointer);
    } else if (strcmp(step, "hold") == 0) {
      puts("holding");
      fflush(stdout);
      char ignored[64];
      while (read(STDIN_FILENO, ignored, sizeof ignored) > 0) {
      }
    } else {
      *why = "unknown step";
      return at + 1;
    }
    if (!ok) return at + 1;
    at += 1 + operands;
  }
  return 0;
}

int main(int argc, char** argv) {
  struct layout box;
  if (argc < 6 || !number(argv[1], &box.left) || !number(argv[2], &box.top) ||
      !number(argv[3], &box.width) || !number(argv[4], &box.height) || box.width <= 0 ||
      box.height <= 0) {
    fputs("usage: wayland_pointer LEFT TOP WIDTH HEIGHT STEP...\n", stderr);
    return 2;
  }
  struct wl_display* display = wl_display_connect(NULL);
  if (display == NULL) return fail("no Wayland compositor to connect to");
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  if (wl_display_roundtrip(display) < 0) return fail("the compositor closed the connection");
  if (manager == NULL) return fail("the compositor offers no zwlr_virtual_pointer_manager_v1");

  struct zwlr_virtual_pointer_v1* pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, NULL);
  if (wl_display_roundtrip(display) < 0) return fail("the compositor refused a virtual pointer");
  const char* why = "";
  const int failed = run_steps(display, pointer, &box, argc - 5, argv + 5, &why);
  if (failed != 0) {
    const int broken = wl_display_get_error(display) != 0;
    fprintf(stderr, "wayland_pointer: step %d failed: %s\n", failed,
            broken ? "the compositor closed the connection" : why);
    return 1;
  }
  zwlr_virtual_pointer_v1_destroy(pointer);
  zwlr_virtual_pointer_manager_v1_destroy(manager);
  wl_registry_destroy(registry);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
