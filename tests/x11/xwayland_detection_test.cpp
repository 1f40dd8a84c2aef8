#include "platform/x11/xwayland_detection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform::x11 {
namespace {

// Xvfb under every desktop test, and XWayland with the extension in test_xwayland.py.
TEST(XwaylandDetection, ReadsTheExtensionOrTheOutputNames) {
  const struct {
    const char* server;
    bool extensionPresent;
    std::vector<std::string> outputNames;
    bool xwayland;
  } cases[] = {
      {"Xorg", false, {"HDMI-1", "eDP-1", "DP-2"}, false},
      {"no outputs", false, {}, false},
      {"old XWayland", false, {"XWAYLAND0"}, true},
      {"old XWayland, second output", false, {"XWAYLAND0", "XWAYLAND12"}, true},
      {"old XWayland among others", false, {"screen", "XWAYLAND3"}, true},
      {"new XWayland without outputs", true, {}, true},
      // Only the exact pattern counts: a monitor that someone named oddly is not XWayland.
      {"prefix without number", false, {"XWAYLAND"}, false},
      {"prefix with letters", false, {"XWAYLANDX1"}, false},
      {"lower case", false, {"xwayland0"}, false},
      {"suffix", false, {"XWAYLAND0-1"}, false},
      {"embedded", false, {"MY-XWAYLAND0"}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(looksLikeXwayland(c.extensionPresent, c.outputNames), c.xwayland) << c.server;
  }
}

}  // namespace
}  // namespace platform::x11
