// Prints what an updateFocus tick costs with 50 windows open, how long an activation takes to
// reach the overlays' place in the stack, and how many restacks it asks for. Run through
// run_benchmarks.py, which gives it a private desktop with openbox.
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/quillmere_app.h"
#include "platform/x11/window_server.h"
#include "platform/x11/x11_platform.h"
#include "tests/qt/qt_event_loop.h"

namespace {

using Clock = std::chrono::steady_clock;

void runFor(double seconds) {
  platform::qt::test::runEventLoopFor(seconds);
}

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
  auto* reply = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
  std::free(reply);
  return atom;
}

// Windows of other applications, each claiming a process id of its own.
std::vector<xcb_window_t> openWindows(xcb_connection_t* c, xcb_window_t root, int count,
                                      std::uint32_t firstPid, bool floatingLast) {
  std::vector<xcb_window_t> windows;
  const xcb_atom_t pidAtom = intern(c, "_NET_WM_PID");
  const xcb_atom_t stateAtom = intern(c, "_NET_WM_STATE");
  const xcb_atom_t above = intern(c, "_NET_WM_STATE_ABOVE");
  for (int i = 0; i < count; ++i) {
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 20 * i, 10 * i, 300, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    const std::uint32_t pid = firstPid + static_cast<std::uint32_t>(i);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, pidAtom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    if (floatingLast && i == count - 1) {
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, stateAtom, XCB_ATOM_ATOM, 32, 1, &above);
    }
    xcb_map_window(c, w);
    windows.push_back(w);
  }
  xcb_flush(c);
  return windows;
}

void activate(xcb_connection_t* c, xcb_window_t root, xcb_window_t window) {
  xcb_client_message_event_t message = {};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = intern(c, "_NET_ACTIVE_WINDOW");
  message.data.data32[0] = 2;
  xcb_send_event(c, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(c);
}

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  (void)argc;

  xcb_connection_t* other = xcb_connect(nullptr, nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
  std::vector<xcb_window_t> windows = openWindows(other, root, 50, 5000, true);

  auto backendOwner = std::make_unique<platform::x11::X11Platform>();
  platform::x11::X11Platform& backend = *backendOwner;
  platform::installPlatform(std::move(backendOwner));
  auto app = std::make_shared<quillmere::QuillmereApp>();
  app->setupOverlay();
  app->startMonitoring();
  activate(other, root, windows.front());
  runFor(1.5);

  // An unchanged tick: time and requests.
  platform::x11::WindowServer& server = backend.windowServer();
  constexpr int kTicks = 2000;
  std::vector<double> tickMicros;
  tickMicros.reserve(kTicks);
  const std::uint32_t before = server.nextRequestSequence();
  for (int i = 0; i < kTicks; ++i) {
    const auto start = Clock::now();
    app->updateFocus();
    tickMicros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  const std::uint32_t requests = server.nextRequestSequence() - before - 1;
  std::printf("updateFocus tick, 50 windows, nothing changed: median %.1f us, p99 %.1f us\n",
              percentile(tickMicros, 0.5), percentile(tickMicros, 0.99));
  std::printf("X requests per unchanged tick: %.3f (%u over %d ticks)\n", double(requests) / kTicks,
              requests, kTicks);

  // Activation to restack: a watcher on its own connection sees the overlay move.
  const xcb_window_t overlay =
      static_cast<xcb_window_t>(app->overlayWindows.front()->windowNumber());
  std::atomic<bool> done{false};
  std::vector<double> latencies;
  const std::uint64_t askedBefore = server.restacker().restacksAsked();
  std::thread watcher([&] {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    for (int round = 0; round < 20; ++round) {
      // Alternate between the floating window's application and a normal one.
      const xcb_window_t target = round % 2 == 0 ? windows.back() : windows[round];
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      while (xcb_generic_event_t* stale = xcb_poll_for_event(c)) std::free(stale);
      const auto start = Clock::now();
      activate(c, root, target);
      const auto deadline = start + std::chrono::seconds(2);
      bool seen = false;
      while (!seen && Clock::now() < deadline) {
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (event == nullptr) {
          std::this_thread::sleep_for(std::chrono::microseconds(200));
          continue;
        }
        if ((event->response_type & 0x7F) == XCB_CONFIGURE_NOTIFY &&
            reinterpret_cast<xcb_configure_notify_event_t*>(event)->window == overlay) {
          seen = true;
          latencies.push_back(
              std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::free(event);
      }
    }
    xcb_disconnect(c);
    done = true;
  });
  while (!done) runFor(0.05);
  watcher.join();
  const std::uint64_t asked = server.restacker().restacksAsked() - askedBefore;
  if (latencies.empty()) {
    std::printf("activation to restack: the overlay never moved\n");
  } else {
    std::printf("activation to restack: median %.2f ms, max %.2f ms over %zu activations\n",
                percentile(latencies, 0.5), percentile(latencies, 1.0), latencies.size());
    std::printf("restacks asked per activation: %.2f (%llu over %zu activations)\n",
                double(asked) / double(latencies.size()), static_cast<unsigned long long>(asked),
                latencies.size());
  }
  std::fflush(stdout);
  std::_Exit(0);
}
