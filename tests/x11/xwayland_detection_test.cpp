#include "platform/x11/xwayland_detection.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace platform::x11 {
namespace {

struct DetectionCase {
  const char* name;
  bool extensionPresent;
  std::vector<std::string> outputNames;
  bool xwayland;
};

void PrintTo(const DetectionCase& c, std::ostream* out) {
  *out << c.name;
}

class XwaylandDetection : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(XwaylandDetection, ReadsTheExtensionOrTheOutputNames) {
  const DetectionCase& c = GetParam();
  EXPECT_EQ(looksLikeXwayland(c.extensionPresent, c.outputNames), c.xwayland);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, XwaylandDetection,
    ::testing::Values(
        DetectionCase{"Xorg", false, {"HDMI-1", "eDP-1", "DP-2"}, false},
        DetectionCase{"Xvfb", false, {"screen"}, false},
        DetectionCase{"NoOutputs", false, {}, false},
        DetectionCase{"OldXwayland", false, {"XWAYLAND0"}, true},
        DetectionCase{"OldXwaylandSecondOutput", false, {"XWAYLAND0", "XWAYLAND12"}, true},
        DetectionCase{"OldXwaylandAmongOthers", false, {"screen", "XWAYLAND3"}, true},
        DetectionCase{"NewXwayland", true, {"DP-1"}, true},
        DetectionCase{"NewXwaylandWithoutOutputs", true, {}, true},
        // Only the exact pattern counts: a monitor that someone named oddly is not XWayland.
        DetectionCase{"PrefixWithoutNumber", false, {"XWAYLAND"}, false},
        DetectionCase{"PrefixWithLetters", false, {"XWAYLANDX1"}, false},
        DetectionCase{"LowerCase", false, {"xwayland0"}, false},
        DetectionCase{"Suffix", false, {"XWAYLAND0-1"}, false},
        DetectionCase{"Embedded", false, {"MY-XWAYLAND0"}, false}),
    [](const ::testing::TestParamInfo<DetectionCase>& info) { return info.param.name; });

}  // namespace
}  // namespace platform::x11
