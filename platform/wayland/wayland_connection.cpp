#include "platform/wayland/wayland_connection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/wayland/wayland_protocols.h"
#include "platform/wayland/wayland_seat.h"

namespace platform::wayland {

namespace {

WaylandOutput& outputOf(void* data) {
  return *static_cast<WaylandOutput*>(data);
}

constexpr wl_output_listener kOutputListener{
    // geometry: the physical position it gives is not the logical one
    [](void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
       const char*, const char*, std::int32_t) {},
    // mode
    [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
       std::int32_t) {
      if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
      outputOf(data).modeWidth = width;
      outputOf(data).modeHeight = height;
    },
    // done
    [](void* data, wl_output*) { outputOf(data).done = true; },
    // scale
    [](void* data, wl_output*, std::int32_t factor) { outputOf(data).scale = factor; },
    // name, description (version 4; never sent at the version we bind)
    [](void*, wl_output*, const char*) {},
    [](void*, wl_output*, const char*) {},
};

constexpr zxdg_output_v1_listener kXdgOutputListener{
    // logical_position
    [](void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
      outputOf(data).logical.x = x;
      outputOf(data).logical.y = y;
    },
    // logical_size
    [](void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
      outputOf(data).logical.width = width;
      outputOf(data).logical.height = height;
      outputOf(data).haveLogical = true;
    },
    // done (before version 3 it closes the xdg-output's own description)
    [](void*, zxdg_output_v1*) {},
    // name
    [](void* data, zxdg_output_v1*, const char* name) {
      outputOf(data).name = name != nullptr ? name : "";
    },
    // description
    [](void*, zxdg_output_v1*, const char*) {},
};

constexpr wl_registry_listener kRegistryListener{
    [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
       std::uint32_t version) {
      static_cast<WaylandConnection*>(data)->announce(registry, name, interface, version);
    },
    [](void* data, wl_registry*, std::uint32_t name) {
      static_cast<WaylandConnection*>(data)->withdraw(name);
    },
};

template <typename T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface,
        std::uint32_t offered, std::uint32_t wanted) {
  return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

}  // namespace

WaylandConnection::WaylandConnection(QObject* parent) : QObject(parent) {
  display_ = wl_display_connect(nullptr);
  if (display_ == nullptr) {
    lost_ = true;
    return;
  }
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &kRegistryListener, this);
  // The globals, then the outputs' descriptions (xdg-output may be announced after them).
  if (wl_display_roundtrip(display_) < 0) {
    fail();
    return;
  }
  for (auto& output : outputs_) watchXdgOutput(*output);
  if (wl_display_roundtrip(display_) < 0) {
    fail();
    return;
  }

  notifier_ = new QSocketNotifier(wl_display_get_fd(display_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
  // Requests made anywhere on the loop go out before it sleeps.
  if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &WaylandConnection::flush);
  }
}

// Every proxy is freed before the connection closes; the compositor drops its side with the
// connection.
WaylandConnection::~WaylandConnection() {
  if (display_ == nullptr) return;
  emit disconnecting();
  seat_.reset();
  for (auto& output : outputs_) destroyOutput(*output);
  outputs_.clear();
  for (void* global : {static_cast<void*>(blurManager_), static_cast<void*>(screencopyManager_),
                       static_cast<void*>(xdgOutputManager_), static_cast<void*>(layerShell_),
                       static_cast<void*>(viewporter_), static_cast<void*>(shm_),
                       static_cast<void*>(compositor_), static_cast<void*>(registry_)}) {
    if (global != nullptr) wl_proxy_destroy(static_cast<wl_proxy*>(global));
  }
  wl_display_disconnect(display_);
}

void WaylandConnection::destroyOutput(WaylandOutput& output) {
  if (output.xdgOutput != nullptr) zxdg_output_v1_destroy(output.xdgOutput);
  if (wl_output_get_version(output.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
    wl_output_release(output.output);
  } else {
    wl_output_destroy(output.output);
  }
}

bool WaylandConnection::usable() const {
  return !lost_ && compositor_ != nullptr && shm_ != nullptr && layerShell_ != nullptr &&
         viewporter_ != nullptr;
}

void WaylandConnection::announce(wl_registry* registry, std::uint32_t name, const char* interface,
                                 std::uint32_t version) {
  const auto is = [interface](const wl_interface& candidate) {
    return std::strcmp(interface, candidate.name) == 0;
  };
  if (is(wl_compositor_interface) && compositor_ == nullptr) {
    compositor_ = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
  } else if (is(wl_shm_interface) && shm_ == nullptr) {
    shm_ = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
  } else if (is(wp_viewporter_interface) && viewporter_ == nullptr) {
    viewporter_ = bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
  } else if (is(zwlr_layer_shell_v1_interface) && layerShell_ == nullptr) {
    layerShell_ =
        bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 2);
  } else if (is(zwlr_screencopy_manager_v1_interface) && screencopyManager_ == nullptr) {
    screencopyManager_ = bind<zwlr_screencopy_manager_v1>(
        registry, name, &zwlr_screencopy_manager_v1_interface, version, 1);
  } else if (is(zxdg_output_manager_v1_interface) && xdgOutputManager_ == nullptr) {
    xdgOutputManager_ =
        bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, version, 3);
  } else if (is(org_kde_kwin_blur_manager_interface) && blurManager_ == nullptr) {
    blurManager_ = bind<org_kde_kwin_blur_manager>(
        registry, name, &org_kde_kwin_blur_manager_interface, version, 1);
    blurManagerName_ = name;
    emit blurManagerChanged();
  } else if (is(wl_seat_interface) && seat_ == nullptr) {
    seat_ = std::make_unique<WaylandSeat>(
        bind<wl_seat>(registry, name, &wl_seat_interface, version, 5));
  } else if (is(wl_output_interface)) {
    auto record = std::make_unique<WaylandOutput>();
    record->globalName = name;
    record->output = bind<wl_output>(registry, name, &wl_output_interface, version, 3);
    wl_output_add_listener(record->output, &kOutputListener, record.get());
    watchXdgOutput(*record);
    outputs_.push_back(std::move(record));
  }
}

void WaylandConnection::watchXdgOutput(WaylandOutput& output) {
  if (xdgOutputManager_ == nullptr || output.xdgOutput != nullptr) return;
  output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputManager_, output.output);
  zxdg_output_v1_add_listener(output.xdgOutput, &kXdgOutputListener, &output);
}

// An output that goes away takes its surfaces with it first.
void WaylandConnection::withdraw(std::uint32_t name) {
  if (blurManager_ != nullptr && name == blurManagerName_) {
    org_kde_kwin_blur_manager_destroy(blurManager_);
    blurManager_ = nullptr;
    emit blurManagerChanged();
    return;
  }
  const auto found = std::find_if(outputs_.begin(), outputs_.end(), [name](const auto& output) {
    return output->globalName == name;
  });
  if (found == outputs_.end()) return;
  emit outputRemoved(found->get());
  destroyOutput(**found);
  outputs_.erase(found);
}

std::vector<OutputPlacement> WaylandConnection::placements() const {
  std::vector<OutputPlacement> placements;
  placements.reserve(outputs_.size());
  for (const auto& output : outputs_) placements.push_back(output->placement());
  return placements;
}

std::vector<Rect> WaylandConnection::screenFrames() const {
  return framesOf(placements());
}

const WaylandOutput* WaylandConnection::outputForFrame(const Rect& frame) const {
  const auto index = platform::wayland::outputForFrame(placements(), frame);
  return index ? outputs_[*index].get() : nullptr;
}

void WaylandConnection::readEvents() {
  if (lost_) return;
  while (wl_display_prepare_read(display_) != 0) {
    if (wl_display_dispatch_pending(display_) < 0) return fail();
  }
  if (wl_display_read_events(display_) < 0) return fail();
  if (wl_display_dispatch_pending(display_) < 0) return fail();
  flush();
}

void WaylandConnection::flush() {
  if (lost_) return;
  // A full socket (EAGAIN) keeps the rest for the next flush.
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) fail();
}

void WaylandConnection::fail() {
  if (lost_) return;
  lost_ = true;
  if (notifier_ != nullptr) notifier_->setEnabled(false);
  emit connectionLost();
}

}  // namespace platform::wayland
