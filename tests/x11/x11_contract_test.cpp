// The platform contract on the X11 backend, on the private display of the desktop tests'
// launcher (desktop_test_main.cpp).
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/x11/x11_platform.h"
#include "test_desktop.h"
#include "tests/contract/platform_contract.h"
#include "tests/qt/qt_event_loop.h"

namespace platform::contract {
namespace {

std::unique_ptr<Platform> makeX11() {
  return std::make_unique<x11::X11Platform>();
}

void runX11(Platform& /*backend*/, double seconds) {
  qt::test::runEventLoopFor(seconds);
}

// A normal window of another client, which the window manager focuses once it is mapped.
OtherApplication openOtherX11(Platform& /*backend*/) {
  constexpr ProcessId kOther = 5001;
  auto other = std::make_shared<quillmere::test::TestDesktop>(std::getenv("DISPLAY"));
  const xcb_window_t window = other->createWindow(QRect(10, 10, 200, 100), 0, true, false);
  other->setProperty(window, "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, {kOther});
  other->map(window);
  return {kOther, other};
}

INSTANTIATE_TEST_SUITE_P(X11, PlatformContractTest,
                         ::testing::Values(ContractBackend{"x11", makeX11, runX11, openOtherX11}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace platform::contract
