#include "platform/wayland/output_capture.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "platform/wayland/capture_frame.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/wayland_protocols.h"

namespace platform::wayland {

// A frame's worth of shared memory, mapped for reading, and the compositor's buffer over it.
struct OutputCapture::ShmBuffer {
  FrameLayout layout;
  wl_buffer* buffer = nullptr;
  void* mapping = nullptr;

  ShmBuffer() = default;
  ShmBuffer(const ShmBuffer&) = delete;
  ShmBuffer& operator=(const ShmBuffer&) = delete;
  ~ShmBuffer() {
    if (buffer != nullptr) wl_buffer_destroy(buffer);
    if (mapping != nullptr) munmap(mapping, layout.bytes());
  }
};

// One output's copy under way, if any, and what it keeps for the next one.
struct OutputCapture::Target {
  OutputCapture* owner = nullptr;
  const WaylandOutput* output = nullptr;
  zwlr_screencopy_frame_v1* frame = nullptr;
  bool copying = false;  // the buffer has been handed over
  bool yInverted = false;
  std::unique_ptr<ShmBuffer> buffer;
  QImage image;  // filled again in place once no one else holds it

  Target() = default;
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;
  ~Target() { endFrame(); }

  void endFrame() {
    if (frame != nullptr) zwlr_screencopy_frame_v1_destroy(frame);
    frame = nullptr;
    copying = false;
    yInverted = false;
  }
};

namespace {

// A buffer of the layout in a fresh memfd, or null.
template <typename Buffer>
std::unique_ptr<Buffer> makeBuffer(wl_shm* shm, const FrameLayout& layout) {
  const int fd = memfd_create("quillmere-capture", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  auto made = std::make_unique<Buffer>();
  made->layout = layout;
  if (ftruncate(fd, off_t(layout.bytes())) == 0) {
    void* mapping = mmap(nullptr, layout.bytes(), PROT_READ, MAP_SHARED, fd, 0);
    if (mapping != MAP_FAILED) made->mapping = mapping;
  }
  if (made->mapping != nullptr) {
    // The layout is checked: every figure fits the protocol's signed integers.
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int(layout.bytes()));
    made->buffer = wl_shm_pool_create_buffer(pool, 0, int(layout.width), int(layout.height),
                                             int(layout.stride), layout.format);
    wl_shm_pool_destroy(pool);
  }
  ::close(fd);
  return made->buffer != nullptr ? std::move(made) : nullptr;
}

}  // namespace

OutputCapture::OutputCapture(WaylandConnection& connection, QObject* parent)
    : QObject(parent), connection_(&connection) {
  connect(&connection, &WaylandConnection::outputRemoved, this, &OutputCapture::forget);
  connect(&connection, &WaylandConnection::disconnecting, this, [this] {
    releaseAll();
    connection_ = nullptr;
  });
}

OutputCapture::~OutputCapture() {
  releaseAll();
}

bool OutputCapture::isAvailable() const {
  return connection_ != nullptr && connection_->usable() &&
         connection_->screencopyManager() != nullptr;
}

bool OutputCapture::capture(const WaylandOutput& output) {
  if (!isAvailable()) return false;
  const auto& known = connection_->outputs();
  if (std::none_of(known.begin(), known.end(),
                   [&output](const auto& candidate) { return candidate.get() == &output; })) {
    return false;
  }
  auto found = std::find_if(targets_.begin(), targets_.end(),
                            [&output](const auto& target) { return target->output == &output; });
  if (found == targets_.end()) {
    auto target = std::make_unique<Target>();
    target->owner = this;
    target->output = &output;
    found = targets_.insert(targets_.end(), std::move(target));
  }
  Target& target = **found;
  if (target.frame != nullptr) return false;
  target.frame =
      zwlr_screencopy_manager_v1_capture_output(connection_->screencopyManager(), 0, output.output);
  zwlr_screencopy_frame_v1_add_listener(
      target.frame, static_cast<const zwlr_screencopy_frame_v1_listener*>(frameListener()),
      &target);
  ++requestsSent_;
  return true;
}

const void* OutputCapture::frameListener() {
  static constexpr zwlr_screencopy_frame_v1_listener kListener{
      // buffer
      [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t format, std::uint32_t width,
         std::uint32_t height, std::uint32_t stride) {
        auto& target = *static_cast<Target*>(data);
        target.owner->offerBuffer(target, format, width, height, stride);
      },
      // flags
      [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t flags) {
        static_cast<Target*>(data)->yInverted = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT);
      },
      // ready
      [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {
        auto& target = *static_cast<Target*>(data);
        target.owner->ready(target);
      },
      // failed
      [](void* data, zwlr_screencopy_frame_v1*) {
        auto& target = *static_cast<Target*>(data);
        target.owner->fail(target);
      },
      // damage, linux_dmabuf, buffer_done: later versions than the one we bind
      [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
         std::uint32_t) {},
      [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {},
      [](void*, zwlr_screencopy_frame_v1*) {},
  };
  return &kListener;
}

// The compositor's description of the buffer it wants: checked, then a buffer of that layout
// (the last one again where it matches) is handed over. Only the first description counts.
void OutputCapture::offerBuffer(Target& target, std::uint32_t format, std::uint32_t width,
                                std::uint32_t height, std::uint32_t stride) {
  if (target.copying) return;
  const auto layout = readableFrameLayout(format, width, height, stride);
  if (!layout) return fail(target);
  if (target.buffer == nullptr || !(target.buffer->layout == *layout)) {
    target.buffer.reset();
    target.buffer = makeBuffer<ShmBuffer>(connection_->shm(), *layout);
    if (target.buffer == nullptr) return fail(target);
  }
  zwlr_screencopy_frame_v1_copy(target.frame, target.buffer->buffer);
  target.copying = true;
}

void OutputCapture::ready(Target& target) {
  if (!target.copying) return fail(target);  // ready for a copy never asked for
  const FrameLayout& layout = target.buffer->layout;
  const QSize size(int(layout.width), int(layout.height));
  if (target.image.size() != size || !target.image.isDetached()) {
    target.image = QImage(size, QImage::Format_RGB32);
    if (target.image.isNull()) return fail(target);
  }
  copyFramePixels(target.buffer->mapping, layout, target.yInverted, target.image.bits(),
                  std::size_t(target.image.bytesPerLine()));
  target.endFrame();
  // A receiver may end the connection, and this record with it.
  const WaylandOutput* output = target.output;
  const QImage image = target.image;
  emit captured(output, image);
}

void OutputCapture::fail(Target& target) {
  const WaylandOutput* output = target.output;
  target.endFrame();
  emit failed(output);
}

// The output's copy under way is dropped unanswered, with its buffer.
void OutputCapture::forget(const WaylandOutput* output) {
  targets_.erase(std::remove_if(targets_.begin(), targets_.end(),
                                [output](const auto& target) { return target->output == output; }),
                 targets_.end());
}

void OutputCapture::releaseAll() {
  targets_.clear();
}

}  // namespace platform::wayland
