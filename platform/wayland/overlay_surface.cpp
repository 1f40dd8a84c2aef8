#include "platform/wayland/overlay_surface.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_protocols.h"

namespace platform::wayland {

namespace {

constexpr char kNamespace[] = "quillmere";

// WORKAROUND(wlroots): its pixman renderer scales with a fixed-point factor that, stretching a
// 1x1 buffer, samples past the buffer's far edge for the last rows of a tall output, which then
// show nothing. A 4x4 buffer of one colour whose middle 2x2 the viewport shows keeps every
// sample a whole pixel inside.
constexpr int kBufferSide = 4;
constexpr int kPixelsPerBuffer = kBufferSide * kBufferSide;
constexpr std::size_t kBufferBytes = kPixelsPerBuffer * sizeof(std::uint32_t);
constexpr std::uint32_t kAllEdges =
    ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;

constexpr zwlr_layer_surface_v1_listener kLayerListener{
    [](void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width,
       std::uint32_t height) {
      static_cast<OverlaySurface*>(data)->configure(serial, width, height);
    },
    [](void* data, zwlr_layer_surface_v1*) { static_cast<OverlaySurface*>(data)->close(); },
};

}  // namespace

OverlaySurface::OverlaySurface(WaylandConnection& connection, const WaylandOutput& output)
    : output_(&output) {
  if (!connection.usable() || !makeBuffers(connection)) return;
  surface_ = wl_compositor_create_surface(connection.compositor());
  viewport_ = wp_viewporter_get_viewport(connection.viewporter(), surface_);
  wl_region* nothing = wl_compositor_create_region(connection.compositor());
  wl_surface_set_input_region(surface_, nothing);
  wl_region_destroy(nothing);
  layerSurface_ =
      zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), surface_, output.output,
                                            ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM, kNamespace);
  zwlr_layer_surface_v1_add_listener(layerSurface_, &kLayerListener, this);
  zwlr_layer_surface_v1_set_anchor(layerSurface_, kAllEdges);
  zwlr_layer_surface_v1_set_size(layerSurface_, 0, 0);
  zwlr_layer_surface_v1_set_exclusive_zone(layerSurface_, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(layerSurface_, 0);
  wl_surface_commit(surface_);  // the compositor answers with the first configure
  connect(&connection, &WaylandConnection::outputRemoved, this, [this](const WaylandOutput* gone) {
    if (gone == output_) close();
  });
  connect(&connection, &WaylandConnection::disconnecting, this, &OverlaySurface::release);
}

OverlaySurface::~OverlaySurface() {
  release();
  if (mapping_ != nullptr) munmap(mapping_, kSlots * kBufferBytes);
}

void OverlaySurface::release() {
  close();
  for (Slot& slot : slots_) {
    if (slot.buffer != nullptr) wl_buffer_destroy(slot.buffer);
    slot.buffer = nullptr;
    slot.busy = true;  // never to be used again
  }
}

bool OverlaySurface::makeBuffers(WaylandConnection& connection) {
  constexpr std::size_t kBytes = kSlots * kBufferBytes;
  const int fd = memfd_create("quillmere-overlay", MFD_CLOEXEC);
  if (fd < 0) return false;
  if (ftruncate(fd, kBytes) != 0) {
    ::close(fd);
    return false;
  }
  void* mapping = mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (mapping == MAP_FAILED) {
    ::close(fd);
    return false;
  }
  mapping_ = mapping;
  wl_shm_pool* pool = wl_shm_create_pool(connection.shm(), fd, kBytes);
  static constexpr wl_buffer_listener kBufferListener{&OverlaySurface::released};
  for (std::size_t i = 0; i < kSlots; ++i) {
    Slot& slot = slots_[i];
    slot.owner = this;
    slot.pixels = static_cast<std::uint32_t*>(mapping) + i * kPixelsPerBuffer;
    slot.buffer =
        wl_shm_pool_create_buffer(pool, int(i * kBufferBytes), kBufferSide, kBufferSide,
                                  kBufferSide * int(sizeof(std::uint32_t)), WL_SHM_FORMAT_ARGB8888);
    wl_buffer_add_listener(slot.buffer, &kBufferListener, &slot);
  }
  wl_shm_pool_destroy(pool);  // the buffers keep the memory
  ::close(fd);
  return true;
}

void OverlaySurface::released(void* data, wl_buffer*) {
  auto* slot = static_cast<Slot*>(data);
  slot->busy = false;
  slot->owner->paint();  // a colour that found no free buffer goes out now
}

void OverlaySurface::setPixel(std::uint32_t pixel) {
  pixel_ = pixel;
  paint();
}

void OverlaySurface::configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
  if (layerSurface_ == nullptr) return;
  zwlr_layer_surface_v1_ack_configure(layerSurface_, serial);
  const wl_fixed_t middle = wl_fixed_from_int(kBufferSide / 2);
  const wl_fixed_t quarter = wl_fixed_from_int(kBufferSide / 4);
  wp_viewport_set_source(viewport_, quarter, quarter, middle, middle);
  if (width > 0 && height > 0 && width <= INT_MAX && height <= INT_MAX) {
    wp_viewport_set_destination(viewport_, int(width), int(height));
  }
  configured_ = true;
  commitPending_ = true;
  paint();
}

// The buffer keeps buffer scale 1 whatever the output's scale: of one colour, it looks the same
// at any scale, and the viewport alone gives the surface its size.
void OverlaySurface::paint() {
  if (surface_ == nullptr || !configured_) return;
  if (anyShown_ && pixel_ == shown_ && !commitPending_) return;
  Slot* free = nullptr;
  for (Slot& slot : slots_) {
    if (!slot.busy) {
      free = &slot;
      break;
    }
  }
  if (free == nullptr) return;  // the next release paints
  std::fill(free->pixels, free->pixels + kPixelsPerBuffer, pixel_);
  free->busy = true;
  wl_surface_attach(surface_, free->buffer, 0, 0);
  wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_commit(surface_);
  shown_ = pixel_;
  anyShown_ = true;
  commitPending_ = false;
}

void OverlaySurface::close() {
  if (surface_ == nullptr) return;
  zwlr_layer_surface_v1_destroy(layerSurface_);
  wp_viewport_destroy(viewport_);
  wl_surface_destroy(surface_);
  layerSurface_ = nullptr;
  viewport_ = nullptr;
  surface_ = nullptr;
  emit closed();
}

}  // namespace platform::wayland
