#include "platform/wayland/layer_shell_probe.h"

#include <wayland-client.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform::wayland {

namespace {

struct DisplayCloser {
  void operator()(wl_display* display) const { wl_display_disconnect(display); }
};
struct RegistryDestroyer {
  void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
};

void noteGlobal(void* data, wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0) *static_cast<bool*>(data) = true;
}
void ignoreRemoval(void*, wl_registry*, std::uint32_t) {}
constexpr wl_registry_listener kListener{noteGlobal, ignoreRemoval};

}  // namespace

bool compositorOffersLayerShell() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  std::unique_ptr<wl_display, DisplayCloser> display(wl_display_connect(nullptr));
  if (!display) return false;
  std::unique_ptr<wl_registry, RegistryDestroyer> registry(wl_display_get_registry(display.get()));
  bool offered = false;
  wl_registry_add_listener(registry.get(), &kListener, &offered);
  if (wl_display_roundtrip(display.get()) < 0) return false;
  return offered;
}

}  // namespace platform::wayland
