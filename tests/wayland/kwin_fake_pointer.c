// A fake pointer and keyboard for the KWin scenarios, through KWin's org_kde_kwin_fake_input
// on the compositor of $WAYLAND_DISPLAY; steps given on the command line:
//   kwin_fake_pointer STEP...
//   move X Y                  to the global point (X, Y) in logical points
//   press | release | click   the left button
//   key CODE                  presses and releases the key of the Linux key code CODE
//   hold                      says "holding" and keeps the device until standard input closes
// KWin makes one input device per bound fake input, which exists while the tool runs. Every
// step ends with a roundtrip, so KWin has handled it when the next one starts. Status 0 on
// success; 1 and one line on standard error otherwise.
#include <linux/input-event-codes.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wayland-client.h>

#include "fake-input-client.h"

// Keys came with version 4, absolute motion with version 3.
enum { kKeyVersion = 4, kAbsoluteVersion = 3 };

static struct org_kde_kwin_fake_input* fake_input;
static uint32_t bound_version;

static void announced(void* data, struct wl_registry* registry, uint32_t name,
                      const char* interface, uint32_t version) {
  (void)data;
  if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && fake_input == NULL) {
    bound_version = version < kKeyVersion ? version : kKeyVersion;
    fake_input =
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, bound_version);
  }
}

static void withdrawn(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {announced, withdrawn};

static int fail(const char* what) {
  fprintf(stderr, "kwin_fake_pointer: %s\n", what);
  return 1;
}

// A whole number of plausible size into *value.
static int number(const char* text, long* value) {
  char* end = NULL;
  *value = strtol(text, &end, 10);
  return end != text && *end == '\0' && labs(*value) <= 1000000;
}

static void button(int pressed) {
  org_kde_kwin_fake_input_button(
      fake_input, BTN_LEFT,
      pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
}

static void key(uint32_t code, int pressed) {
  org_kde_kwin_fake_input_keyboard_key(
      fake_input, code, pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

// Runs the steps from argv; the number (from 1) of the word at which a step went wrong, or 0.
static int run_steps(struct wl_display* display, int argc, char** argv, const char** why) {
  long values[2];
  for (int at = 0; at < argc;) {
    const char* step = argv[at];
    const int operands = strcmp(step, "move") == 0 ? 2 : strcmp(step, "key") == 0 ? 1 : 0;
    if (at + operands >= argc) {
      *why = "a step lacks its numbers";
      return at + 1;
    }
    for (int i = 0; i < operands; ++i) {
      if (!number(argv[at + 1 + i], &values[i]) || values[i] < 0) {
        *why = "a step's number is not a whole number of at least 0";
        return at + 1;
      }
    }
    *why = "the compositor closed the connection";
    int ok = 1;
    if (strcmp(step, "move") == 0) {
      // The middle of the logical point, not its edge.
      org_kde_kwin_fake_input_pointer_motion_absolute(
          fake_input, wl_fixed_from_double(values[0] + 0.5), wl_fixed_from_double(values[1] + 0.5));
      ok = wl_display_roundtrip(display) >= 0;
    } else if (strcmp(step, "press") == 0 || strcmp(step, "release") == 0) {
      button(step[0] == 'p');
      ok = wl_display_roundtrip(display) >= 0;
    } else if (strcmp(step, "click") == 0) {
      button(1);
      ok = wl_display_roundtrip(display) >= 0;
      button(0);
      ok = ok && wl_display_roundtrip(display) >= 0;
    } else if (strcmp(step, "key") == 0) {
      if (bound_version < kKeyVersion) {
        *why = "the compositor's fake input has no keys";
        return at + 1;
      }
      key((uint32_t)values[0], 1);
      ok = wl_display_roundtrip(display) >= 0;
      key((uint32_t)values[0], 0);
      ok = ok && wl_display_roundtrip(display) >= 0;
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
  if (argc < 2) {
    fputs("usage: kwin_fake_pointer STEP...\n", stderr);
    return 2;
  }
  struct wl_display* display = wl_display_connect(NULL);
  if (display == NULL) return fail("no Wayland compositor to connect to");
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  if (wl_display_roundtrip(display) < 0) return fail("the compositor closed the connection");
  if (fake_input == NULL) return fail("the compositor offers no org_kde_kwin_fake_input");
  if (bound_version < kAbsoluteVersion) return fail("the compositor's fake input is too old");

  // KWin ignores a device's requests until it has asked and been granted.
  org_kde_kwin_fake_input_authenticate(fake_input, "Quillmere tests", "scenario input");
  if (wl_display_roundtrip(display) < 0) return fail("the compositor refused the fake input");
  const char* why = "";
  const int failed = run_steps(display, argc - 1, argv + 1, &why);
  if (failed != 0) {
    fprintf(stderr, "kwin_fake_pointer: step %d failed: %s\n", failed, why);
    return 1;
  }
  org_kde_kwin_fake_input_destroy(fake_input);
  wl_registry_destroy(registry);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
