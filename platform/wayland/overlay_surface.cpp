#include "platform/wayland/overlay_surface.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>

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
    : output_(&output), connection_(&connection) {
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
  // KWin's blur effect loaded or unloaded: the blur follows.
  connect(&connection, &WaylandConnection::blurManagerChanged, this, [this] {
    if (blur_ != nullptr && connection_->blurManager() == nullptr) {
      org_kde_kwin_blur_release(blur_);
      blur_ = nullptr;
    }
    setBlurBehind(blurWanted_);
  });
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
  for (auto& picture : pictures_) destroyPicture(*picture);
  pictures_.clear();
}

void OverlaySurface::destroyPicture(Picture& picture) {
  if (picture.buffer != nullptr) wl_buffer_destroy(picture.buffer);
  if (picture.mapping != nullptr) munmap(picture.mapping, picture.bytes);
  picture.buffer = nullptr;
  picture.mapping = nullptr;
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
  if (showingPicture_ || picturePending_) {
    content_ = QImage();
    picturePending_ = false;
    commitPending_ = true;  // back to the colour, whatever it is
  }
  paint();
}

void OverlaySurface::setImage(const QImage& content, double alpha) {
  content_ = content;
  contentAlpha_ = std::clamp(alpha, 0.0, 1.0);
  picturePending_ = true;
  paintImage();
}

void OverlaySurface::pictureReleased(void* data, wl_buffer*) {
  auto* picture = static_cast<Picture*>(data);
  picture->busy = false;
  if (picture->owner->picturePending_) picture->owner->paintImage();
}

OverlaySurface::Picture* OverlaySurface::freePicture(int width, int height) {
  for (auto& picture : pictures_) {
    if (picture->busy) continue;
    if (picture->width == width && picture->height == height) return picture.get();
    destroyPicture(*picture);  // of another size: made anew below
    picture->width = 0;
  }
  std::erase_if(pictures_, [](const auto& picture) { return picture->buffer == nullptr; });
  if (pictures_.size() >= 2) return nullptr;  // both on screen: the next release paints

  auto picture = std::make_unique<Picture>();
  picture->owner = this;
  picture->width = width;
  picture->height = height;
  picture->bytes = std::size_t(width) * std::size_t(height) * 4;
  const int fd = memfd_create("quillmere-overlay-picture", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  void* mapping = MAP_FAILED;
  if (ftruncate(fd, off_t(picture->bytes)) == 0) {
    mapping = mmap(nullptr, picture->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  if (mapping == MAP_FAILED || picture->bytes > std::size_t(INT_MAX)) {
    if (mapping != MAP_FAILED) munmap(mapping, picture->bytes);
    ::close(fd);
    return nullptr;
  }
  picture->mapping = mapping;
  wl_shm_pool* pool = wl_shm_create_pool(connection_->shm(), fd, int(picture->bytes));
  picture->buffer =
      wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_ARGB8888);
  wl_shm_pool_destroy(pool);
  ::close(fd);
  static constexpr wl_buffer_listener kPictureListener{&OverlaySurface::pictureReleased};
  wl_buffer_add_listener(picture->buffer, &kPictureListener, picture.get());
  pictures_.push_back(std::move(picture));
  return pictures_.back().get();
}

namespace {
// Premultiplied pixels drawn at an alpha: every channel scaled alike.
void copyAtAlpha(const QImage& content, double alpha, std::uint32_t* out) {
  const std::uint32_t weight = std::uint32_t(std::lround(alpha * 256.0));
  const int width = content.width();
  for (int y = 0; y < content.height(); ++y) {
    const auto* in = reinterpret_cast<const std::uint32_t*>(content.constScanLine(y));
    std::uint32_t* row = out + std::size_t(y) * std::size_t(width);
    if (weight >= 256) {
      std::copy(in, in + width, row);
      continue;
    }
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = in[x];
      row[x] = (((p & 0x00ff00ffu) * weight >> 8) & 0x00ff00ffu) |
               (((p >> 8 & 0x00ff00ffu) * weight) & 0xff00ff00u);
    }
  }
}
}  // namespace

// The picture keeps buffer scale 1: the viewport maps all of it onto the output's points, so
// an output at scale 2 shows each of its pixels once.
void OverlaySurface::paintImage() {
  if (surface_ == nullptr || !configured_ || !picturePending_) return;
  if (content_.isNull() || content_.format() != QImage::Format_ARGB32_Premultiplied) return;
  Picture* picture = freePicture(content_.width(), content_.height());
  if (picture == nullptr) return;
  copyAtAlpha(content_, contentAlpha_, static_cast<std::uint32_t*>(picture->mapping));
  picture->busy = true;
  wp_viewport_set_source(viewport_, wl_fixed_from_int(-1), wl_fixed_from_int(-1),
                         wl_fixed_from_int(-1), wl_fixed_from_int(-1));
  wl_surface_attach(surface_, picture->buffer, 0, 0);
  wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_commit(surface_);
  picturePending_ = false;
  showingPicture_ = true;
  commitPending_ = false;
  if (!anyShown_) {
    anyShown_ = true;
    emit mapped();
  }
}

void OverlaySurface::configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
  if (layerSurface_ == nullptr) return;
  zwlr_layer_surface_v1_ack_configure(layerSurface_, serial);
  if (width > 0 && height > 0 && width <= INT_MAX && height <= INT_MAX) {
    wp_viewport_set_destination(viewport_, int(width), int(height));
  }
  configured_ = true;
  commitPending_ = true;
  if (!content_.isNull()) {
    picturePending_ = true;
    return paintImage();
  }
  paint();
}

// The buffer keeps buffer scale 1 whatever the output's scale: of one colour, it looks the same
// at any scale, and the viewport alone gives the surface its size.
void OverlaySurface::paint() {
  if (surface_ == nullptr || !configured_ || !content_.isNull()) return;
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
  if (connection_->isKWin()) {
    // WORKAROUND(kwin): KWin draws what lies outside a viewport's source as transparent when
    // it scales, which fades the colour out over a quarter of the output; the whole buffer,
    // of one colour, scales evenly.
    const wl_fixed_t unset = wl_fixed_from_int(-1);
    wp_viewport_set_source(viewport_, unset, unset, unset, unset);
  } else {
    const wl_fixed_t middle = wl_fixed_from_int(kBufferSide / 2);
    const wl_fixed_t quarter = wl_fixed_from_int(kBufferSide / 4);
    wp_viewport_set_source(viewport_, quarter, quarter, middle, middle);
  }
  showingPicture_ = false;
  wl_surface_attach(surface_, free->buffer, 0, 0);
  wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_commit(surface_);
  shown_ = pixel_;
  commitPending_ = false;
  if (!anyShown_) {
    anyShown_ = true;
    emit mapped();
  }
}

bool OverlaySurface::setTopLayer(bool top) {
  if (surface_ == nullptr || top == top_) return false;
  if (zwlr_layer_surface_v1_get_version(layerSurface_) <
      ZWLR_LAYER_SURFACE_V1_SET_LAYER_SINCE_VERSION) {
    return false;
  }
  top_ = top;
  zwlr_layer_surface_v1_set_layer(
      layerSurface_, top ? ZWLR_LAYER_SHELL_V1_LAYER_TOP : ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM);
  wl_surface_commit(surface_);
  return true;
}

// The blur's state is the surface's: it takes effect with the surface's next commit.
void OverlaySurface::setBlurBehind(bool blur) {
  blurWanted_ = blur;
  if (surface_ == nullptr) return;
  org_kde_kwin_blur_manager* manager = connection_->blurManager();
  if (blur && blur_ == nullptr && manager != nullptr) {
    blur_ = org_kde_kwin_blur_manager_create(manager, surface_);
    org_kde_kwin_blur_set_region(blur_, nullptr);  // the whole surface
    org_kde_kwin_blur_commit(blur_);
  } else if ((!blur || manager == nullptr) && blur_ != nullptr) {
    if (manager != nullptr) org_kde_kwin_blur_manager_unset(manager, surface_);
    org_kde_kwin_blur_release(blur_);
    blur_ = nullptr;
  } else {
    return;
  }
  wl_surface_commit(surface_);
}

void OverlaySurface::close() {
  if (surface_ == nullptr) return;
  if (blur_ != nullptr) {
    org_kde_kwin_blur_release(blur_);
    blur_ = nullptr;
  }
  zwlr_layer_surface_v1_destroy(layerSurface_);
  wp_viewport_destroy(viewport_);
  wl_surface_destroy(surface_);
  layerSurface_ = nullptr;
  viewport_ = nullptr;
  surface_ = nullptr;
  emit closed();
}

}  // namespace platform::wayland
