// Capture plus render time of one 1920x1080 overlay, with and without a compositor, on a
// private Xvfb. Prints the median and the worst of each over a run of frames.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/x11/paint/overlay_paint_engine.h"
#include "private_display.h"
#include "test_desktop.h"

namespace {

using platform::x11::OverlayPaintEngine;
using quillmere::test::PrivateDisplay;
using quillmere::test::TestDesktop;
namespace render = platform::render;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 60;

render::ContentSnapshot content(const char* effect, double intensity) {
  render::ContentSnapshot snapshot;
  snapshot.size = {kWidth, kHeight};
  const platform::Rect bounds = platform::makeRect(0, 0, kWidth, kHeight);
  if (std::string_view(effect) == "dim") {
    snapshot.layerBackgroundColor =
        platform::Color::blackColor().withAlphaComponent(intensity * 0.9);
    return snapshot;
  }
  render::EffectViewSnapshot view;
  if (std::string_view(effect) == "blur") {
    view.frame = bounds;
    view.material = platform::VisualEffectMaterial::hudWindow;
    view.alpha = intensity;
  } else {
    view.frame = platform::insetRect(bounds, -100, -100);
    view.pixellate =
        render::PixellateSnapshot{intensity * 60.0, {kWidth / 2.0 + 100.0, kHeight / 2.0 + 100.0}};
  }
  snapshot.effectView = view;
  return snapshot;
}

bool waitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QEventLoop loop;
    QTimer::singleShot(1, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

void measure(bool withCompositor) {
  PrivateDisplay display(kWidth, kHeight);
  TestDesktop desktop(display.name());
  if (!display.running() || !desktop.connected()) {
    std::printf("no Xvfb\n");
    return;
  }
  display.run({"hsetroot", "-add", "#203040", "-add", "#c0d0e0", "-gradient", "30"});
  if (withCompositor) display.start({"picom", "--backend", "xrender", "--config", "/dev/null"});
  // A desktop's worth of windows beneath, one of which keeps changing.
  std::vector<xcb_window_t> windows;
  for (int i = 0; i < 12; ++i) {
    windows.push_back(desktop.createWindow(QRect(60 + i * 120, 40 + i * 70, 640, 400),
                                           0x102030u * static_cast<std::uint32_t>(i + 1)));
  }
  OverlayPaintEngine engine(QByteArray::fromStdString(display.name()));
  if (withCompositor && !waitUntil([&] { return engine.compositorActive(); })) {
    std::printf("picom did not start\n");
    return;
  }
  const xcb_window_t overlay = desktop.createOverlay(QRect(0, 0, kWidth, kHeight));
  engine.addOverlay(overlay, QRect(0, 0, kWidth, kHeight), 1.0);
  const double alpha = withCompositor ? 1.0 : 0.8;  // below 1 the blend is included
  engine.setWindowAlpha(overlay, alpha);
  for (const char* effect : {"dim", "blur", "pixelate"}) {
    std::vector<double> capture;
    std::vector<double> rendering;
    std::vector<double> total;
    for (int frame = 0; frame < kFrames + 5; ++frame) {
      const std::uint64_t before = engine.lastFrameCost().frames;
      desktop.setColor(windows[frame % windows.size()],
                       0x010203u * static_cast<std::uint32_t>(frame));
      engine.setContent(overlay, content(effect, 0.7));
      if (!waitUntil([&] { return engine.lastFrameCost().frames > before; })) break;
      if (frame < 5) continue;  // buffers settle in the first frames
      const OverlayPaintEngine::FrameCost cost = engine.lastFrameCost();
      capture.push_back(cost.captureMs);
      rendering.push_back(cost.renderMs);
      total.push_back(cost.captureMs + cost.renderMs);
    }
    std::printf(
        "%-13s %-9s capture %6.2f ms  render %6.2f ms  capture+render %6.2f ms "
        "(median of %zu; worst %6.2f ms)\n",
        withCompositor ? "compositor" : "no-compositor", effect, median(capture), median(rendering),
        median(total), total.size(),
        total.empty() ? 0.0 : *std::max_element(total.begin(), total.end()));
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  std::printf("1920x1080 overlay, one frame = capture of what lies beneath + render\n");
  measure(false);
  measure(true);
  return 0;
}
