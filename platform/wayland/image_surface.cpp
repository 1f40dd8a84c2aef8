#include "platform/wayland/image_surface.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/wayland_protocols.h"
#include "platform/wayland/wayland_seat.h"

namespace platform::wayland {

namespace {
constexpr char kNamespace[] = "quillmere";

constexpr zwlr_layer_surface_v1_listener kLayerListener{
    [](void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width,
       std::uint32_t height) {
      static_cast<ImageSurface*>(data)->configure(serial, width, height);
    },
    [](void* data, zwlr_layer_surface_v1*) { static_cast<ImageSurface*>(data)->close(); },
};
}  // namespace

// One picture in shared memory, freed once the compositor lets go of it.
struct ImageSurface::Buffer {
  wl_buffer* buffer = nullptr;
  void* mapping = nullptr;
  std::size_t bytes = 0;
  ImageSurface* owner = nullptr;

  ~Buffer() {
    if (buffer != nullptr) wl_buffer_destroy(buffer);
    if (mapping != nullptr) munmap(mapping, bytes);
  }
};

ImageSurface::ImageSurface(WaylandConnection& connection, const WaylandOutput& output,
                           const LayerPlacement& placement, InputTarget* target)
    : connection_(&connection), output_(&output), stretched_(placement.stretched) {
  if (!connection.usable()) return;
  surface_ = wl_compositor_create_surface(connection.compositor());
  if (stretched_) viewport_ = wp_viewporter_get_viewport(connection.viewporter(), surface_);
  if (target == nullptr) {
    wl_region* nothing = wl_compositor_create_region(connection.compositor());
    wl_surface_set_input_region(surface_, nothing);
    wl_region_destroy(nothing);
  } else if (WaylandSeat* seat = connection.seat()) {
    seat->setTarget(surface_, target);
  }
  layerSurface_ = zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), surface_,
                                                        output.output, placement.layer, kNamespace);
  zwlr_layer_surface_v1_add_listener(layerSurface_, &kLayerListener, this);
  zwlr_layer_surface_v1_set_anchor(layerSurface_, placement.anchor);
  zwlr_layer_surface_v1_set_size(layerSurface_, std::uint32_t(std::max(placement.width, 0)),
                                 std::uint32_t(std::max(placement.height, 0)));
  zwlr_layer_surface_v1_set_margin(layerSurface_, placement.marginTop, placement.marginRight,
                                   placement.marginBottom, placement.marginLeft);
  zwlr_layer_surface_v1_set_exclusive_zone(layerSurface_, placement.exclusiveZone);
  zwlr_layer_surface_v1_set_keyboard_interactivity(layerSurface_, placement.takesKeyboard ? 1 : 0);
  wl_surface_commit(surface_);  // the compositor answers with the first configure
  connect(&connection, &WaylandConnection::outputRemoved, this, [this](const WaylandOutput* gone) {
    if (gone == output_) close();
  });
  connect(&connection, &WaylandConnection::disconnecting, this, &ImageSurface::release);
}

ImageSurface::~ImageSurface() {
  release();
}

void ImageSurface::release() {
  close();
  for (Buffer* buffer : buffers_) delete buffer;
  buffers_.clear();
}

void ImageSurface::show(const QImage& image) {
  image_ = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  dirty_ = true;
  paint();
}

void ImageSurface::configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
  if (layerSurface_ == nullptr) return;
  zwlr_layer_surface_v1_ack_configure(layerSurface_, serial);
  if (viewport_ != nullptr && width > 0 && height > 0 && width <= INT_MAX && height <= INT_MAX) {
    wp_viewport_set_destination(viewport_, int(width), int(height));
  }
  configured_ = true;
  dirty_ = true;
  paint();
}

void ImageSurface::released(void* data, wl_buffer*) {
  auto* buffer = static_cast<Buffer*>(data);
  auto& buffers = buffer->owner->buffers_;
  buffers.erase(std::remove(buffers.begin(), buffers.end(), buffer), buffers.end());
  delete buffer;
}

void ImageSurface::paint() {
  if (surface_ == nullptr || !configured_ || !dirty_ || image_.isNull()) return;
  const std::size_t bytes = std::size_t(image_.sizeInBytes());
  const int fd = memfd_create("quillmere-surface", MFD_CLOEXEC);
  if (fd < 0) return;
  auto buffer = std::make_unique<Buffer>();
  buffer->owner = this;
  buffer->bytes = bytes;
  if (ftruncate(fd, off_t(bytes)) == 0) {
    void* mapping = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapping != MAP_FAILED) buffer->mapping = mapping;
  }
  if (buffer->mapping == nullptr) {
    ::close(fd);
    return;
  }
  std::memcpy(buffer->mapping, image_.constBits(), bytes);
  wl_shm_pool* pool = wl_shm_create_pool(connection_->shm(), fd, int(bytes));
  buffer->buffer = wl_shm_pool_create_buffer(pool, 0, image_.width(), image_.height(),
                                             int(image_.bytesPerLine()), WL_SHM_FORMAT_ARGB8888);
  wl_shm_pool_destroy(pool);
  ::close(fd);
  static constexpr wl_buffer_listener kBufferListener{&ImageSurface::released};
  wl_buffer_add_listener(buffer->buffer, &kBufferListener, buffer.get());

  if (!stretched_)
    wl_surface_set_buffer_scale(surface_, std::max(1, int(image_.devicePixelRatio())));
  wl_surface_attach(surface_, buffer->buffer, 0, 0);
  wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_commit(surface_);
  buffers_.push_back(buffer.release());
  dirty_ = false;
  if (!mapped_) {
    mapped_ = true;
    emit connection_->ownSurfacesChanged();
  }
}

void ImageSurface::close() {
  if (surface_ == nullptr) return;
  if (WaylandSeat* seat = connection_->seat()) seat->removeTarget(surface_);
  zwlr_layer_surface_v1_destroy(layerSurface_);
  if (viewport_ != nullptr) wp_viewport_destroy(viewport_);
  wl_surface_destroy(surface_);
  layerSurface_ = nullptr;
  viewport_ = nullptr;
  surface_ = nullptr;
  if (mapped_) {
    mapped_ = false;
    emit connection_->ownSurfacesChanged();
  }
  emit closed();
}

}  // namespace platform::wayland
