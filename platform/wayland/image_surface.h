#pragma once

#include <QImage>
#include <QObject>
#include <cstdint>
#include <vector>

struct wl_buffer;
struct wl_surface;
struct wp_viewport;
struct zwlr_layer_surface_v1;

namespace platform::wayland {

class InputTarget;
class WaylandConnection;
struct WaylandOutput;

// Where a layer surface goes and what it takes.
struct LayerPlacement {
  std::uint32_t layer = 0;   // a zwlr_layer_shell_v1 layer
  std::uint32_t anchor = 0;  // zwlr_layer_surface_v1 anchor bits
  int marginTop = 0;
  int marginRight = 0;
  int marginBottom = 0;
  int marginLeft = 0;
  // In points; 0 spans the anchored edges.
  int width = 0;
  int height = 0;
  // -1 ignores other surfaces' exclusive zones; 0 keeps clear of them (of a bar, say).
  int exclusiveZone = -1;
  // Takes the keyboard while it is shown, as a menu does.
  bool takesKeyboard = false;
  // A picture of one pixel stretched over the whole surface, whatever size it is given.
  bool stretched = false;
};

// A layer surface of ours on one output that shows a picture and hands the pointer and the
// keyboard to its target (null: the surface lets clicks through). Pictures carry their device
// pixel ratio, which becomes the buffer scale. It closes for good when its output goes away,
// the compositor closes it, or the connection closes. Its first picture and its close are
// reported through the connection's ownSurfacesChanged.
class ImageSurface final : public QObject {
  Q_OBJECT

 public:
  ImageSurface(WaylandConnection& connection, const WaylandOutput& output,
               const LayerPlacement& placement, InputTarget* target);
  ~ImageSurface() override;
  ImageSurface(const ImageSurface&) = delete;
  ImageSurface& operator=(const ImageSurface&) = delete;

  bool isOpen() const { return surface_ != nullptr; }
  const WaylandOutput* output() const { return output_; }
  // Shows the picture from the next configure on.
  void show(const QImage& image);

  // The layer surface's events.
  void configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height);
  void close();

 signals:
  void closed();

 private:
  struct Buffer;
  static void released(void* data, wl_buffer* buffer);
  void paint();
  void release();

  WaylandConnection* connection_;
  const WaylandOutput* output_;
  bool stretched_;
  wl_surface* surface_ = nullptr;
  zwlr_layer_surface_v1* layerSurface_ = nullptr;
  wp_viewport* viewport_ = nullptr;
  std::vector<Buffer*> buffers_;  // sent and not yet released
  QImage image_;
  bool configured_ = false;
  bool dirty_ = false;
  bool mapped_ = false;  // a picture has been committed since it opened
};

}  // namespace platform::wayland
