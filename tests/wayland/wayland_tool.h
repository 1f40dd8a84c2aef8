// What the scenario scripts' small Wayland tools share: the connection, and a failure's line on
// standard error (prefixed with TOOL_NAME, which the tool defines first) with status 1.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wayland-client.h>

static struct wl_display* tool_display;

// Ends the tool with status 1 and one line on standard error.
static inline _Noreturn void tool_fail(const char* what) {
  fprintf(stderr, TOOL_NAME ": %s\n", what);
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
  wl_registry_add_listener(wl_display_get_registry(tool_display), &listener, NULL);
  tool_roundtrip();
}
