// The window list as another client's windows make it, hostile ones included (how each
// property is parsed: window_properties_test.cpp). Runs on the launcher's desktop with openbox
// and on one without a window manager.
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/window_server.h"
#include "platform/x11/x11_platform.h"
#include "test_desktop.h"
#include "tests/qt/qt_event_loop.h"

namespace platform::x11 {
namespace {

constexpr auto runFor = qt::test::runEventLoopFor;
using quillmere::test::TestDesktop;
constexpr QRect kFrame(10, 10, 200, 100);

const WindowInfo* recordFor(const WindowInfoList& list, xcb_window_t window) {
  for (const WindowInfo& info : list) {
    auto number = info.find(kWindowNumberKey);
    if (number != info.end() && number->second == WindowInfoValue{std::int64_t{window}}) {
      return &info;
    }
  }
  return nullptr;
}

std::optional<WindowInfoValue> value(const WindowInfo& info, std::string_view key) {
  auto found = info.find(key);
  if (found == info.end()) return std::nullopt;
  return found->second;
}

class WindowListTest : public ::testing::Test {
 protected:
  X11Platform backend;
  TestDesktop other{std::getenv("DISPLAY")};  // another application
  static constexpr std::uint32_t kOptions =
      kWindowListOptionOnScreenOnly | kWindowListExcludeDesktopElements;

  // The list once it shows every given window, or after 20 seconds: a window manager under
  // load may take a while to map what another client asked it to.
  std::shared_ptr<const WindowInfoList> listShowing(std::initializer_list<xcb_window_t> windows,
                                                    std::uint32_t options = kOptions) {
    std::shared_ptr<const WindowInfoList> list;
    for (int i = 0; i < 400; ++i) {
      runFor(0.05);
      list = backend.copyWindowInfo(options, kNullWindowId);
      if (list == nullptr) return list;
      bool all = true;
      for (xcb_window_t w : windows) all = all && recordFor(*list, w) != nullptr;
      if (all) break;
    }
    return list;
  }

  // Another application's window, not yet mapped; a pop-up bypasses the window manager.
  xcb_window_t window(bool popUp = false) { return other.createWindow(kFrame, 0, !popUp, false); }
  void set32(xcb_window_t w, const std::string& property, std::uint32_t value,
             xcb_atom_t type = XCB_ATOM_CARDINAL) {
    other.setProperty(w, property, type, 32, {value});
  }
};

TEST_F(WindowListTest, RecordsFollowTheLayerTableAndReadHostilePropertiesAsAbsent) {
  const xcb_window_t good = window();
  set32(good, "_NET_WM_PID", 4242);
  set32(good, "_NET_WM_WINDOW_OPACITY", 0x7FFFFFFFu);

  const xcb_window_t hostile = window();
  const std::uint32_t text = 0x32343234;  // "4242"
  const std::vector<std::uint32_t> pair{0xFFFFFFFFu, 0xFFFFFFFFu};
  other.setProperty(hostile, "_NET_WM_PID", XCB_ATOM_STRING, 8, {text});

  const xcb_window_t desktop = window();
  other.setAtoms(desktop, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_DESKTOP"});
  const xcb_window_t hidden = window();
  other.setAtoms(hidden, "_NET_WM_STATE", {"_NET_WM_STATE_HIDDEN"});
  const xcb_window_t popUp = window(true);
  const xcb_window_t unmapped = window();

  for (xcb_window_t w : {desktop, good, hostile, hidden, popUp}) other.map(w);
  listShowing({desktop}, kWindowListOptionOnScreenOnly);

  auto list = listShowing({good, hostile, popUp});
  ASSERT_NE(list, nullptr);
  const WindowInfo* goodRecord = recordFor(*list, good);
  ASSERT_NE(goodRecord, nullptr);
  EXPECT_EQ(value(*goodRecord, kWindowOwnerPidKey), WindowInfoValue{std::int64_t{4242}});
  ASSERT_TRUE(value(*goodRecord, kWindowAlphaKey));
  EXPECT_NEAR(std::get<double>(*value(*goodRecord, kWindowAlphaKey)), 0.5, 1e-6);

  const WindowInfo* hostileRecord = recordFor(*list, hostile);
  ASSERT_NE(hostileRecord, nullptr);
  // The string is not read as a number; the X-Resource extension names the real owner.
  EXPECT_EQ(value(*hostileRecord, kWindowOwnerPidKey), WindowInfoValue{std::int64_t{getpid()}});

  const WindowInfo* popUpRecord = recordFor(*list, popUp);
  ASSERT_NE(popUpRecord, nullptr);
  EXPECT_EQ(value(*popUpRecord, kWindowLayerKey), WindowInfoValue{std::int64_t{101}});
  EXPECT_FALSE(value(*popUpRecord, kWindowAlphaKey));

  EXPECT_EQ(recordFor(*list, desktop), nullptr);
  EXPECT_EQ(recordFor(*list, hidden), nullptr);
  EXPECT_EQ(recordFor(*list, unmapped), nullptr);

  // Front to back: the pop-up, mapped last, before the window mapped before it.
  EXPECT_LT(popUpRecord - list->data(), hostileRecord - list->data());

  // A property that turns hostile later is read again, and read as absent.
  other.setProperty(good, "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, pair);
  runFor(0.3);
  list = backend.copyWindowInfo(kOptions, kNullWindowId);
  goodRecord = recordFor(*list, good);
  ASSERT_NE(goodRecord, nullptr);
  EXPECT_EQ(value(*goodRecord, kWindowOwnerPidKey), WindowInfoValue{std::int64_t{getpid()}});
}

TEST_F(WindowListTest, WindowsThatVanishWhileTheListIsReadAreLeftOut) {
  std::atomic<bool> stop{false};
  std::thread churn([&stop] {
    TestDesktop churner(std::getenv("DISPLAY"));
    for (int round = 0; round < 40 && !stop; ++round) {
      std::vector<xcb_window_t> windows;
      for (int i = 0; i < 20; ++i) {
        windows.push_back(churner.createWindow(kFrame, 0, i % 2 != 0));
      }
      for (xcb_window_t w : windows) churner.destroy(w);
    }
  });
  for (int i = 0; i < 50; ++i) {
    runFor(0.01);
    ASSERT_NE(backend.copyWindowInfo(kOptions, kNullWindowId), nullptr);
  }
  stop = true;
  churn.join();
  const xcb_window_t survivor = window();
  other.map(survivor);
  // A window manager may take a while to work through the windows that came and went.
  std::shared_ptr<const WindowInfoList> list = listShowing({survivor});
  ASSERT_NE(list, nullptr);
  EXPECT_NE(recordFor(*list, survivor), nullptr);
  // Only the survivor and whatever the window manager shows itself remain.
  EXPECT_LE(list->size(), 3u);
}

// The desktops as a window manager writes them: a window on another one is not on screen,
// and a switch is posted once.
TEST_F(WindowListTest, AWindowOnAnotherDesktopIsLeftOutAndASwitchIsPostedOnce) {
  // Written here as a window manager would, so that the test does not depend on how one
  // answers requests.
  set32(other.root(), "_NET_CURRENT_DESKTOP", 0);
  int spaces = 0;
  backend.addWorkspaceObserver(WorkspaceNotification::activeSpaceDidChange, [&] { ++spaces; });
  const xcb_window_t first = window();
  const xcb_window_t second = window();
  set32(first, "_NET_WM_DESKTOP", 0);
  for (xcb_window_t w : {first, second}) other.map(w);
  listShowing({first, second});

  // A window on another desktop is not on screen, whatever its map state says.
  set32(second, "_NET_WM_DESKTOP", 1);
  runFor(0.3);
  auto list = backend.copyWindowInfo(kOptions, kNullWindowId);
  EXPECT_EQ(recordFor(*list, second), nullptr);
  EXPECT_NE(recordFor(*list, first), nullptr);

  set32(other.root(), "_NET_CURRENT_DESKTOP", 1);
  runFor(0.3);
  EXPECT_EQ(spaces, 1);
  list = backend.copyWindowInfo(kOptions, kNullWindowId);
  EXPECT_NE(recordFor(*list, second), nullptr);
  EXPECT_EQ(recordFor(*list, first), nullptr);
}

TEST_F(WindowListTest, AnUnchangedDesktopCostsNoRequest) {
  std::vector<xcb_window_t> windows;
  for (int i = 0; i < 10; ++i) {
    windows.push_back(window());
    other.map(windows.back());
  }
  listShowing({windows.front(), windows.back()});
  runFor(0.3);
  backend.copyWindowInfo(kOptions, kNullWindowId);
  backend.frontmostApplication();
  WindowServer& server = backend.windowServer();
  const std::uint32_t before = server.nextRequestSequence();
  for (int i = 0; i < 5; ++i) {
    backend.copyWindowInfo(kOptions, kNullWindowId);
    backend.frontmostApplication();
    runFor(0.02);
  }
  EXPECT_EQ(server.nextRequestSequence(), before + 1);  // only the counting request itself
}

// The level that the activation's observers set goes out in one restack: none from inside the
// notification and a second, held back, after it.
TEST_F(WindowListTest, OneActivationAsksForOneRestack) {
  const xcb_window_t normal = window();
  const xcb_window_t floating = window();
  set32(normal, "_NET_WM_PID", 6001);
  set32(floating, "_NET_WM_PID", 6002);
  other.setAtoms(floating, "_NET_WM_STATE", {"_NET_WM_STATE_ABOVE"});
  other.map(normal);
  other.map(floating);
  listShowing({normal, floating});
  // A window manager focuses the floating window, mapped last; let it finish first.
  for (int i = 0; i < 20 && backend.frontmostApplication()->processIdentifier != 6002; ++i) {
    runFor(0.05);
  }

  // An overlay as the core keeps one: below the front application's floating window, else
  // below normal windows.
  WindowServer& server = backend.windowServer();
  const xcb_window_t overlay = other.createWindow(QRect(0, 0, 100, 100), 0);
  std::int64_t level = -1;
  server.addOverlay(overlay, [&level] { return OverlayState{level, 1.0, true}; });
  backend.addWorkspaceObserver(WorkspaceNotification::didActivateApplication, [&] {
    level = backend.frontmostApplication()->processIdentifier == 6002 ? 2 : -1;
    server.overlayDidChange(overlay);
  });
  set32(other.root(), "_NET_ACTIVE_WINDOW", normal, XCB_ATOM_WINDOW);
  runFor(0.3);  // placed, and past the restack interval
  ASSERT_EQ(level, -1);

  const std::uint64_t before = server.restacker().restacksAsked();
  set32(other.root(), "_NET_ACTIVE_WINDOW", floating, XCB_ATOM_WINDOW);
  runFor(0.3);  // a held-back restack would have gone by now
  EXPECT_EQ(server.restacker().restacksAsked() - before, 1u);
  auto list = backend.copyWindowInfo(kOptions, kNullWindowId);
  const WindowInfo* floatingRecord = recordFor(*list, floating);
  ASSERT_NE(floatingRecord, nullptr);
  EXPECT_EQ(recordFor(*list, overlay), floatingRecord + 1);  // directly behind it
  server.removeOverlay(overlay);
}

}  // namespace
}  // namespace platform::x11
