// A see-through layer surface on the background layer of the focused output, beneath every
// other layer, for the scenario scripts: it reports on standard output, one line each, the
// button presses that reach the desktop there (because nothing above took them):
//   ready                 once the surface is mapped
//   button pressed | button released
// Status 1 and one line on standard error when the compositor lacks what it needs.
#define _GNU_SOURCE
#include <sys/mman.h>

#define TOOL_NAME "wayland_backdrop"
#include "wayland_tool.h"
#include "wlr-layer-shell-unstable-v1-client.h"

static struct wl_compositor* compositor;
static struct wl_shm* shm;
static struct wl_seat* seat;
static struct zwlr_layer_shell_v1* layer_shell;
static struct wl_surface* surface;
static int mapped;

static void announced(void*, struct wl_registry* registry, uint32_t name, const char* interface,
                      uint32_t) {
  if (strcmp(interface, wl_compositor_interface.name) == 0) {
    compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 4);
  } else if (strcmp(interface, wl_shm_interface.name) == 0) {
    shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
  } else if (strcmp(interface, wl_seat_interface.name) == 0 && seat == NULL) {
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 3);
  } else if (strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
    layer_shell = wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, 1);
  }
}

// One line on standard output, right away.
static void say(const char* line) {
  puts(line);
  fflush(stdout);
}

static void entered(void*, struct wl_pointer*, uint32_t, struct wl_surface*, wl_fixed_t,
                    wl_fixed_t) {}

static void left(void*, struct wl_pointer*, uint32_t, struct wl_surface*) {}

static void moved(void*, struct wl_pointer*, uint32_t, wl_fixed_t, wl_fixed_t) {}

static void pressed(void*, struct wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  say(state == WL_POINTER_BUTTON_STATE_PRESSED ? "button pressed" : "button released");
}

static void scrolled(void*, struct wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}

// The seat is bound at version 3: none of the later pointer events arrive.
static const struct wl_pointer_listener pointer_listener = {
    .enter = entered, .leave = left, .motion = moved, .button = pressed, .axis = scrolled};

// Fills the configured size with transparent pixels: the wallpaper shows through.
static void configured(void*, struct zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                       uint32_t height) {
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  if (width == 0 || height == 0) return;
  const size_t bytes = (size_t)width * height * 4;
  const int fd = memfd_create("wayland-backdrop", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, (off_t)bytes) != 0) tool_fail("no shared memory");
  struct wl_shm_pool* pool = wl_shm_create_pool(shm, fd, (int32_t)bytes);
  struct wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, (int32_t)width, (int32_t)height,
                                                       (int32_t)width * 4, WL_SHM_FORMAT_ARGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  wl_surface_attach(surface, buffer, 0, 0);
  wl_surface_damage(surface, 0, 0, (int32_t)width, (int32_t)height);
  wl_surface_commit(surface);
  mapped = 1;
}

static void closed(void*, struct zwlr_layer_surface_v1*) {}

static const struct zwlr_layer_surface_v1_listener layer_listener = {configured, closed};

int main(void) {
  tool_connect(announced);
  if (compositor == NULL || shm == NULL || seat == NULL || layer_shell == NULL)
    tool_fail("the compositor lacks a seat, wl_shm or layer-shell");
  // The headless seat has a pointer only while a virtual pointer exists: the session holds one
  // from its start. (Version 3 of the seat lets us ask without looking at its capabilities.)
  wl_pointer_add_listener(wl_seat_get_pointer(seat), &pointer_listener, NULL);
  surface = wl_compositor_create_surface(compositor);
  struct zwlr_layer_surface_v1* layer = zwlr_layer_shell_v1_get_layer_surface(
      layer_shell, surface, NULL, ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND, "wayland-backdrop");
  zwlr_layer_surface_v1_add_listener(layer, &layer_listener, NULL);
  zwlr_layer_surface_v1_set_anchor(
      layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                 ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(layer, -1);
  wl_surface_commit(surface);
  while (!mapped && wl_display_dispatch(tool_display) >= 0) {
  }
  wl_display_roundtrip(tool_display);
  say("ready");
  while (wl_display_dispatch(tool_display) >= 0) {
  }
  return 0;
}
