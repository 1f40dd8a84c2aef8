// A virtual pointer for the scenario scripts on the compositor of $WAYLAND_DISPLAY; it takes
// the steps of wayland_tool.h but keys:
//   wayland_pointer LEFT TOP WIDTH HEIGHT STEP...
// LEFT TOP WIDTH HEIGHT: the box of the whole output layout in logical points, which absolute
// motion spans (an unmapped pointer moves over all outputs at once).
#include <linux/input-event-codes.h>
#include <time.h>

#define TOOL_NAME "wayland_pointer"
#include "wayland_tool.h"
#include "wlr-virtual-pointer-unstable-v1-client.h"

static struct zwlr_virtual_pointer_manager_v1* manager;
static struct zwlr_virtual_pointer_v1* pointer;
static long left, top, width, height;

static void announced(void*, struct wl_registry* registry, uint32_t name, const char* interface,
                      uint32_t) {
  if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  }
}

static uint32_t milliseconds(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

static int reaches(long x, long y) {
  return x >= left && y >= top && x < left + width && y < top + height;
}

// Doubled, plus one: the pointer lands in the middle of the logical point, not on its edge.
static void move(long x, long y) {
  zwlr_virtual_pointer_v1_motion_absolute(pointer, milliseconds(), (uint32_t)(2 * (x - left) + 1),
                                          (uint32_t)(2 * (y - top) + 1), (uint32_t)(2 * width),
                                          (uint32_t)(2 * height));
}

static void button(int pressed) {
  zwlr_virtual_pointer_v1_button(
      pointer, milliseconds(), BTN_LEFT,
      pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
}

static void frame(void) {
  zwlr_virtual_pointer_v1_frame(pointer);
}

int main(int argc, char** argv) {
  if (argc < 6 || !tool_number(argv[1], &left) || !tool_number(argv[2], &top) ||
      !tool_number(argv[3], &width) || !tool_number(argv[4], &height) || width <= 0 ||
      height <= 0) {
    fputs("usage: wayland_pointer LEFT TOP WIDTH HEIGHT STEP...\n", stderr);
    return 2;
  }
  tool_connect(announced);
  if (manager == NULL) tool_fail("the compositor offers no zwlr_virtual_pointer_manager_v1");
  pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, NULL);
  if (wl_display_roundtrip(tool_display) < 0) tool_fail("the compositor refused a virtual pointer");
  const struct input_device device = {reaches, move, button, NULL, frame};
  return input_steps(&device, argc - 5, argv + 5);
}
