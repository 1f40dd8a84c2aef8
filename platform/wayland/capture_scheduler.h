#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/render/effect_renderer.h"

namespace platform::wayland {

class OutputCapture;
class WaylandConnection;
struct WaylandOutput;

// An overlay that shows what lies beneath it, blurred or in squares.
class CaptureClient {
 public:
  virtual ~CaptureClient() = default;
  // The output it covers, or null once its surface has gone.
  virtual const WaylandOutput* captureOutput() const = 0;
  // Whether it shows the pixels beneath now (a blur or squares, at an alpha above 0).
  virtual bool wantsBeneath() const = 0;
  // The next frame is captured: the overlay must not be in it.
  virtual void hideForCapture() = 0;
  // What lies beneath, in the output's pixels; or that the capture failed.
  virtual void captured(const QImage& beneath) = 0;
  virtual void captureFailed() = 0;
};

// Captures what the outputs show, without the overlays, for the overlays that read it. No
// Wayland client can read what lies beneath its own surface, so the overlay is hidden for one
// frame and the whole output captured: the windows above it are in that picture too, and so are
// our own panel and menu. A capture is taken when an overlay first needs one and again after
// each change of what the desktop shows, a short while after it (the compositor lays windows out
// in steps), and when one of our own surfaces appears or goes away, at most a few times a
// second, the last change always captured. Nothing is captured for an overlay in dim, or while
// the effect is off.
class CaptureScheduler final : public QObject {
  Q_OBJECT

 public:
  CaptureScheduler(WaylandConnection& connection, QObject* parent = nullptr);
  ~CaptureScheduler() override;
  CaptureScheduler(const CaptureScheduler&) = delete;
  CaptureScheduler& operator=(const CaptureScheduler&) = delete;

  // Whether the compositor lets outputs be captured at all.
  bool isAvailable() const;
  void add(CaptureClient* client);
  void remove(CaptureClient* client);
  // The client has nothing to show yet: its output is captured as soon as allowed.
  void request(CaptureClient* client);
  // What the desktop shows may have changed.
  void exposureChanged();
  // Whether any overlay shows what lies beneath now.
  bool anyWantsBeneath() const;
  // The renderer the overlays share.
  render::EffectRenderer& renderer() { return renderer_; }
  // Capture requests sent since the start, for tests and benchmarks.
  std::uint64_t capturesRequested() const;

 private:
  void ownSurfacesChanged();
  void schedule(int settleMs);
  void captureNow();
  void arrived(const WaylandOutput* output, const QImage& image);
  void failedOn(const WaylandOutput* output);

  std::unique_ptr<OutputCapture> capture_;
  std::vector<CaptureClient*> clients_;
  QTimer timer_;
  QElapsedTimer sinceLast_;
  bool pending_ = false;
  bool followUp_ = false;  // one more capture after the next, for windows still being drawn
  std::vector<const WaylandOutput*> inFlight_;
  render::EffectRenderer renderer_;
};

}  // namespace platform::wayland
