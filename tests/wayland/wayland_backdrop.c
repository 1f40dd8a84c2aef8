// A see-through layer surface on the background layer of the focused output, beneath every
// other layer, for the scenario scripts: whatever pointer input reaches the desktop there
// (because nothing above took it) it reports on standard output, one line each:
//   ready                 once the surface is mapped
//   enter X Y             the pointer entered it at surface point (X, Y)
//   motion X Y            it moved to (X, Y) over the surface
//   leave
//   button pressed | button released
// Status 1 and one line on standard error when the compositor lacks what it needs.
#define _GNU_SOURCE
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "wlr-layer-shell-unstable-v1-client.h"

static struct wl_compositor* compositor;
static struct wl_shm* shm;
static struct wl_seat* seat;
static struct wl_pointer* pointer;
static struct zwlr_layer_shell_v1* layer_shell;
static struct wl_surface* surface;
static int mapped;

static void announced(void* data, struct wl_registry* registry, uint32_t name,
                      const char* interface, uint32_t version) {
  (void)data;
  (void)version;
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

static void withdrawn(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {announced, withdrawn};

static void say(const char* line) {
  puts(line);
  fflush(stdout);
}

static void entered(void* data, struct wl_pointer* p, uint32_t serial, struct wl_surface* s,
                    wl_fixed_t x, wl_fixed_t y) {
  (void)data;
  (void)p;
  (void)serial;
  (void)s;
  printf("enter %d %d\n", wl_fixed_to_int(x), wl_fixed_to_int(y));
  fflush(stdout);
}

static void left(void* data, struct wl_pointer* p, uint32_t serial, struct wl_surface* s) {
  (void)data;
  (void)p;
  (void)serial;
  (void)s;
  say("leave");
}

static void moved(void* data, struct wl_pointer* p, uint32_t time, wl_fixed_t x, wl_fixed_t y) {
  (void)data;
  (void)p;
  (void)time;
  printf("motion %d %d\n", wl_fixed_to_int(x), wl_fixed_to_int(y));
  fflush(stdout);
}

static void pressed(void* data, struct wl_pointer* p, uint32_t serial, uint32_t time,
                    uint32_t button, uint32_t state) {
  (void)data;
  (void)p;
  (void)serial;
  (void)time;
  (void)button;
  say(state == WL_POINTER_BUTTON_STATE_PRESSED ? "button pressed" : "button released");
}

static void scrolled(void* data, struct wl_pointer* p, uint32_t time, uint32_t axis,
                     wl_fixed_t value) {
  (void)data;
  (void)p;
  (void)time;
  (void)axis;
  (void)value;
}

// The seat is bound at version 3: none of the later pointer events arrive.
static const struct wl_pointer_listener pointer_listener = {
    .enter = entered, .leave = left, .motion = moved, .button = pressed, .axis = scrolled};

// The headless seat has a pointer only while a virtual pointer exists.
static void capabilities(void* data, struct wl_seat* s, uint32_t caps) {
  (void)data;
  const int has_pointer = (caps & WL_SEAT_CAPABILITY_POINTER) != 0;
  if (has_pointer && pointer == NULL) {
    pointer = wl_seat_get_pointer(s);
    wl_pointer_add_listener(pointer, &pointer_listener, NULL);
  } else if (!has_pointer && pointer != NULL) {
    wl_pointer_release(pointer);
    pointer = NULL;
  }
}

static void seat_name(void* data, struct wl_seat* s, const char* name) {
  (void)data;
  (void)s;
  (void)name;
}

static const struct wl_seat_listener seat_listener = {capabilities, seat_name};

// Fills the configured size with transparent pixels: the wallpaper shows through.
static void configured(void* data, struct zwlr_layer_surface_v1* layer, uint32_t serial,
                       uint32_t width, uint32_t height) {
  (void)data;
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  if (width == 0 || height == 0) return;
  const size_t bytes = (size_t)width * height * 4;
  const int fd = memfd_create("wayland-backdrop", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, (off_t)bytes) != 0) {
    fputs("wayland_backdrop: no shared memory\n", stderr);
    _exit(1);
  }
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

static void closed(void* data, struct zwlr_layer_surface_v1* layer) {
  (void)data;
  (void)layer;
  _exit(0);
}

static const struct zwlr_layer_surface_v1_listener layer_listener = {configured, closed};

int main(void) {
  struct wl_display* display = wl_display_connect(NULL);
  if (display == NULL) {
    fputs("wayland_backdrop: no Wayland compositor to connect to\n", stderr);
    return 1;
  }
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  wl_display_roundtrip(display);
  if (compositor == NULL || shm == NULL || seat == NULL || layer_shell == NULL) {
    fputs("wayland_backdrop: the compositor lacks a seat, wl_shm or layer-shell\n", stderr);
    return 1;
  }
  wl_seat_add_listener(seat, &seat_listener, NULL);
  surface = wl_compositor_create_surface(compositor);
  struct zwlr_layer_surface_v1* layer = zwlr_layer_shell_v1_get_layer_surface(
      layer_shell, surface, NULL, ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND, "wayland-backdrop");
  zwlr_layer_surface_v1_add_listener(layer, &layer_listener, NULL);
  zwlr_layer_surface_v1_set_anchor(
      layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                 ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(layer, -1);
  wl_surface_commit(surface);
  while (!mapped && wl_display_dispatch(display) >= 0) {
  }
  wl_display_roundtrip(display);
  say("ready");
  while (wl_display_dispatch(display) >= 0) {
  }
  return 0;
}
