#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <vector>

struct zwlr_screencopy_frame_v1;

namespace platform::wayland {

class WaylandConnection;
struct WaylandOutput;

// Copies an output's next frame, without the cursor, into memory of ours through the
// compositor's screen copying: the pixels the blur and the pixelation work from. One copy per
// output is under way at a time; each output keeps its shared-memory buffer for the next copy
// of the same size. The request goes out in order behind whatever the caller asked for before,
// so a surface hidden and committed first is absent from the copy.
class OutputCapture final : public QObject {
  Q_OBJECT

 public:
  explicit OutputCapture(WaylandConnection& connection, QObject* parent = nullptr);
  ~OutputCapture() override;
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  // Whether the compositor offers screen copying on a standing connection.
  bool isAvailable() const;
  // Asks for the output's next frame; false while a copy of it is under way, for an output the
  // connection does not know, or when unavailable. The answer is captured or failed.
  bool capture(const WaylandOutput& output);
  // The capture requests sent so far.
  std::uint64_t requestsSent() const { return requestsSent_; }

 signals:
  // The frame in the output's physical pixels, top row first.
  void captured(const platform::wayland::WaylandOutput* output, const QImage& image);
  void failed(const platform::wayland::WaylandOutput* output);

 private:
  struct ShmBuffer;
  struct Target;
  static const void* frameListener();
  void offerBuffer(Target& target, std::uint32_t format, std::uint32_t width, std::uint32_t height,
                   std::uint32_t stride);
  void ready(Target& target);
  void fail(Target& target);
  void forget(const WaylandOutput* output);
  void releaseAll();

  QPointer<WaylandConnection> connection_;
  std::vector<std::unique_ptr<Target>> targets_;  // one per output captured so far
  std::uint64_t requestsSent_ = 0;
};

}  // namespace platform::wayland
