#pragma once

#include <QImage>
#include <QObject>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct wl_buffer;
struct wl_surface;
struct wp_viewport;
struct zwlr_layer_surface_v1;
struct org_kde_kwin_blur;

namespace platform::wayland {

class WaylandConnection;
struct WaylandOutput;

// One overlay's layer-shell surface on one output: on the bottom layer (above the wallpaper,
// below every window) unless moved to the top one, anchored to all four edges, ignoring exclusive
// zones, never taking the keyboard, with an empty input region so that every click goes through. It
// shows one premultiplied colour, a tiny buffer that the viewport stretches over the output. The
// surface closes for good when its output goes away, the compositor closes it, or the connection
// closes.
class OverlaySurface final : public QObject {
  Q_OBJECT

 public:
  OverlaySurface(WaylandConnection& connection, const WaylandOutput& output);
  ~OverlaySurface() override;
  OverlaySurface(const OverlaySurface&) = delete;
  OverlaySurface& operator=(const OverlaySurface&) = delete;

  bool isOpen() const { return surface_ != nullptr; }
  // Shows the colour (premultiplied ARGB8888); the same colour again costs nothing.
  void setPixel(std::uint32_t pixel);
  // Shows a picture of the whole output in its own pixels (premultiplied ARGB32), drawn at
  // `alpha`, for the compositor to blend over what lies beneath.
  void setImage(const QImage& content, double alpha);
  const WaylandOutput* output() const { return output_; }
  // Moves the surface to layer-shell's top layer or back to the bottom one, where the
  // compositor offers that (layer-shell version 2); whether the layer asked for changed.
  bool setTopLayer(bool top);
  // Asks the compositor (KWin) to blur what lies behind the whole surface; nothing where it
  // offers no blur.
  void setBlurBehind(bool blur);

  // The layer surface's events (called from its listener).
  void configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height);
  void close();

 signals:
  // The surface closed for good.
  void closed();
  // The first buffer went out: the compositor shows the surface from now on.
  void mapped();

 private:
  struct Slot {
    wl_buffer* buffer = nullptr;
    std::uint32_t* pixels = nullptr;  // the buffer's, all of one colour
    bool busy = false;
    OverlaySurface* owner = nullptr;
  };
  static constexpr std::size_t kSlots = 8;

  // A full-size picture in shared memory, reused while its size stays.
  struct Picture {
    wl_buffer* buffer = nullptr;
    void* mapping = nullptr;
    std::size_t bytes = 0;
    int width = 0;
    int height = 0;
    bool busy = false;
    OverlaySurface* owner = nullptr;
  };

  static void released(void* data, wl_buffer* buffer);
  static void pictureReleased(void* data, wl_buffer* buffer);
  Picture* freePicture(int width, int height);
  static void destroyPicture(Picture& picture);
  void paintImage();
  // Destroys the surface and the buffers: the connection is closing.
  void release();
  bool makeBuffers(WaylandConnection& connection);
  void paint();

  const WaylandOutput* output_;
  WaylandConnection* connection_;
  wl_surface* surface_ = nullptr;
  zwlr_layer_surface_v1* layerSurface_ = nullptr;
  wp_viewport* viewport_ = nullptr;
  std::array<Slot, kSlots> slots_{};
  void* mapping_ = nullptr;
  bool configured_ = false;
  bool commitPending_ = false;  // a configure waits for its commit
  std::uint32_t pixel_ = 0;
  std::uint32_t shown_ = 0;
  bool anyShown_ = false;
  // The picture wanted instead of the colour, and the alpha to draw it at.
  QImage content_;
  double contentAlpha_ = 1.0;
  bool showingPicture_ = false;
  bool picturePending_ = false;
  std::vector<std::unique_ptr<Picture>> pictures_;
  org_kde_kwin_blur* blur_ = nullptr;
  bool blurWanted_ = false;
  bool top_ = false;
};

}  // namespace platform::wayland
