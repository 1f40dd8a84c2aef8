#include "platform/x11/window_properties.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace platform::x11 {
namespace {

constexpr xcb_atom_t kDesktop = 101, kDock = 102, kNotification = 103;
constexpr xcb_atom_t kFullscreen = 201, kAbove = 202, kBelow = 203, kOther = 999;

const LayerAtoms kAtoms{kDesktop, kDock, kNotification, kFullscreen, kAbove, kBelow};

TEST(WindowLayer, FirstApplicableRuleWins) {
  const struct {
    std::vector<xcb_atom_t> types;
    std::vector<xcb_atom_t> states;
    bool overrideRedirect;
    std::int32_t layer;
  } cases[] = {
      {{kDesktop}, {kAbove}, true, -1000},
      {{kDock}, {kFullscreen, kBelow}, false, 20},
      {{kNotification}, {}, false, 101},
      {{}, {kAbove}, true, 101},  // someone's pop-up menu
      {{kOther}, {kAbove, kFullscreen}, false, 0},
      {{}, {kBelow, kAbove}, false, 3},
      {{kOther}, {kOther}, false, 0},
      {{kOther, kDock}, {}, false, 20},  // the first type this table knows
      {{kDock, kDesktop}, {}, false, 20},
  };
  for (const auto& c : cases) {
    const ClientProperties properties{c.types, c.states, std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(layerForWindow(properties, c.overrideRedirect, kAtoms), c.layer)
        << "types " << c.types.size() << " states " << c.states.size();
  }
  // Atoms that the server did not know match nothing.
  const ClientProperties unknown{{XCB_NONE}, {XCB_NONE}, std::nullopt, std::nullopt, std::nullopt};
  EXPECT_EQ(layerForWindow(unknown, false, LayerAtoms{}), 0);
}

TEST(HostileProperties, WrongTypeFormatOrLengthReadsAsAbsent) {
  const std::array<std::uint32_t, 2> two = {1234, 5678};
  const std::uint32_t huge = 0x80000000u;
  const std::uint32_t zero = 0;

  // A text and two values: through the window list in x11_window_list_test.cpp.
  EXPECT_EQ(readProcessId(RawProperty{XCB_ATOM_CARDINAL, 32, 1, two.data()}), 1234);
  EXPECT_FALSE(readProcessId(RawProperty{XCB_ATOM_CARDINAL, 16, 1, two.data()}));
  EXPECT_FALSE(readProcessId(RawProperty{XCB_ATOM_CARDINAL, 32, 0, two.data()}));
  EXPECT_FALSE(readProcessId(RawProperty{XCB_ATOM_CARDINAL, 32, 1, &huge}));
  EXPECT_FALSE(readProcessId(RawProperty{XCB_ATOM_CARDINAL, 32, 1, &zero}));
  EXPECT_FALSE(readProcessId(RawProperty{XCB_ATOM_INTEGER, 32, 1, two.data()}));
  EXPECT_FALSE(readProcessId(RawProperty{}));
  // Only the first value of a longer list was fetched.
  EXPECT_FALSE(readProcessId(RawProperty{XCB_ATOM_CARDINAL, 32, 1, two.data(), false}));

  EXPECT_FALSE(readAtomList(RawProperty{XCB_ATOM_CARDINAL, 32, 2, two.data()}));
  EXPECT_FALSE(readAtomList(RawProperty{XCB_ATOM_ATOM, 8, 2, two.data()}));
  EXPECT_EQ(readAtomList(RawProperty{XCB_ATOM_ATOM, 32, 2, two.data()}),
            (std::vector<xcb_atom_t>{1234, 5678}));
  EXPECT_EQ(readAtomList(RawProperty{XCB_ATOM_ATOM, 32, 0, two.data()}), std::vector<xcb_atom_t>{});
  EXPECT_FALSE(readWindowList(RawProperty{XCB_ATOM_ATOM, 32, 2, two.data()}));
  EXPECT_EQ(readText(RawProperty{XCB_ATOM_ATOM, 32, 2, two.data()}), "");

  EXPECT_FALSE(readWindow(RawProperty{XCB_ATOM_CARDINAL, 32, 1, two.data()}));
  EXPECT_EQ(readWindow(RawProperty{XCB_ATOM_WINDOW, 32, 1, two.data()}), 1234u);
  // The active window: the first of one or more, never a wrong type or format.
  EXPECT_EQ(readFirstWindow(RawProperty{XCB_ATOM_WINDOW, 32, 2, two.data()}), 1234u);
  EXPECT_EQ(readFirstWindow(RawProperty{XCB_ATOM_WINDOW, 32, 1, two.data(), false}), 1234u);
  EXPECT_FALSE(readFirstWindow(RawProperty{XCB_ATOM_WINDOW, 32, 0, two.data()}));
  EXPECT_FALSE(readFirstWindow(RawProperty{XCB_ATOM_CARDINAL, 32, 2, two.data()}));
  EXPECT_FALSE(readFirstWindow(RawProperty{XCB_ATOM_WINDOW, 16, 2, two.data()}));

  // Opacity is a fraction of the full cardinal.
  const std::uint32_t full = 0xFFFFFFFFu;
  const std::uint32_t half = 0x7FFFFFFFu;
  EXPECT_EQ(readOpacity(RawProperty{XCB_ATOM_CARDINAL, 32, 1, &full}), 1.0);
  EXPECT_EQ(readOpacity(RawProperty{XCB_ATOM_CARDINAL, 32, 1, &zero}), 0.0);
  EXPECT_NEAR(*readOpacity(RawProperty{XCB_ATOM_CARDINAL, 32, 1, &half}), 0.5, 1e-9);
  EXPECT_FALSE(readOpacity(RawProperty{XCB_ATOM_STRING, 8, 4, "full"}));
  EXPECT_FALSE(readOpacity(RawProperty{XCB_ATOM_CARDINAL, 8, 4, &full}));
}

}  // namespace
}  // namespace platform::x11
