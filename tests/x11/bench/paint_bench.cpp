// Prints what capturing and rendering one overlay frame costs in each effect, with whichever
// painting mode the desktop asks for (a compositor or none). Run through run_benchmarks.py on
// a 1920x1080 private desktop.
#include <xcb/xcb.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/quillmere_app.h"
#include "platform/x11/x11_platform.h"

namespace {

void runFor(double seconds) {
  QElapsedTimer elapsed;
  elapsed.start();
  const qint64 total = static_cast<qint64>(seconds * 1000.0);
  while (elapsed.elapsed() < total) {
    QCoreApplication::processEvents(QEventLoop::AllEvents,
                                    static_cast<int>(total - elapsed.elapsed()));
  }
}

}  // namespace

int main(int /*argc*/, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);

  // Something beneath the overlay that keeps changing, so that every frame is painted afresh:
  // a window of the below layer, which the overlays stay above.
  xcb_connection_t* other = xcb_connect(nullptr, nullptr);
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(other)).data;
  const xcb_window_t mover = xcb_generate_id(other);
  const std::uint32_t background = screen->white_pixel;
  xcb_create_window(other, XCB_COPY_FROM_PARENT, mover, screen->root, 100, 100, 400, 300, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL,
                    &background);
  auto intern = [other](const char* name) {
    auto* reply = xcb_intern_atom_reply(
        other, xcb_intern_atom(other, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
  };
  const xcb_atom_t belowState = intern("_NET_WM_STATE_BELOW");
  xcb_change_property(other, XCB_PROP_MODE_REPLACE, mover, intern("_NET_WM_STATE"), XCB_ATOM_ATOM,
                      32, 1, &belowState);
  xcb_map_window(other, mover);
  xcb_flush(other);

  auto backendOwner = std::make_unique<platform::x11::X11Platform>();
  platform::x11::X11Platform& backend = *backendOwner;
  platform::installPlatform(std::move(backendOwner));
  auto app = std::make_shared<quillmere::QuillmereApp>();
  app->setupOverlay();
  runFor(1.0);
  if (!backend.lastPaintCost()) {
    std::printf("paint: no painter in this build\n");
    std::_Exit(0);
  }

  for (auto mode : quillmere::QuillmereApp::allCases) {
    app->currentMode = mode;
    for (const auto& window : app->overlayWindows) app->updateOverlayEffect(*window);
    runFor(0.3);
    double capture = 0.0;
    double render = 0.0;
    int samples = 0;
    std::uint64_t seen = backend.lastPaintCost()->frames;
    for (int i = 0; i < 60; ++i) {
      const std::uint32_t position[] = {static_cast<std::uint32_t>(100 + (i % 2) * 300), 100};
      xcb_configure_window(other, mover, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
      xcb_flush(other);
      runFor(0.035);
      const auto cost = *backend.lastPaintCost();
      if (cost.frames != seen) {
        seen = cost.frames;
        capture += cost.captureMs;
        render += cost.renderMs;
        ++samples;
      }
    }
    const bool compositor = backend.lastPaintCost()->compositor;
    if (samples == 0) {
      std::printf("%-8s %-15s no frame repainted (nothing beneath is needed)\n",
                  quillmere::QuillmereApp::rawValue(mode).data(),
                  compositor ? "(compositor)" : "(no compositor)");
      continue;
    }
    std::printf("%-8s %-15s capture %.2f ms + render %.2f ms per 1920x1080 frame (%d frames)\n",
                quillmere::QuillmereApp::rawValue(mode).data(),
                compositor ? "(compositor)" : "(no compositor)", capture / samples,
                render / samples, samples);
  }
  std::fflush(stdout);
  std::_Exit(0);
}
