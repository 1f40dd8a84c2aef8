// A fake pointer and keyboard for the KWin scenarios, through KWin's org_kde_kwin_fake_input
// on the compositor of $WAYLAND_DISPLAY, at global points; it takes the steps of wayland_tool.h:
//   kwin_fake_pointer STEP...
// KWin makes one input device per bound fake input, which exists while the tool runs.
#include <linux/input-event-codes.h>

#define TOOL_NAME "kwin_fake_pointer"
#include "fake-input-client.h"
#include "wayland_tool.h"

// Keys came with version 4, after absolute motion.
enum { kKeyVersion = 4 };

static struct org_kde_kwin_fake_input* fake_input;

static void announced(void*, struct wl_registry* registry, uint32_t name, const char* interface,
                      uint32_t version) {
  if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && fake_input == NULL &&
      version >= kKeyVersion) {
    fake_input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, kKeyVersion);
  }
}

static int reaches(long x, long y) {
  return x >= 0 && y >= 0;
}

// The middle of the logical point, not its edge.
static void move(long x, long y) {
  org_kde_kwin_fake_input_pointer_motion_absolute(fake_input, wl_fixed_from_double(x + 0.5),
                                                  wl_fixed_from_double(y + 0.5));
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

int main(int argc, char** argv) {
  if (argc < 2) {
    fputs("usage: kwin_fake_pointer STEP...\n", stderr);
    return 2;
  }
  tool_connect(announced);
  if (fake_input == NULL) tool_fail("the compositor offers no org_kde_kwin_fake_input with keys");
  // KWin ignores a device's requests until it has asked and been granted.
  org_kde_kwin_fake_input_authenticate(fake_input, "Quillmere tests", "scenario input");
  if (wl_display_roundtrip(tool_display) < 0) tool_fail("the compositor refused the fake input");
  const struct input_device device = {reaches, move, button, key, NULL};
  return input_steps(&device, argc - 1, argv + 1);
}
