#include "platform/x11/window_properties.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace platform::x11 {
namespace {

constexpr xcb_atom_t kDesktop = 101, kDock = 102, kNotification = 103;
constexpr xcb_atom_t kFullscreen = 201, kAbove = 202, kBelow = 203, kOther = 999;

LayerAtoms layerAtoms() {
  return LayerAtoms{kDesktop, kDock, kNotification, kFullscreen, kAbove, kBelow};
}

TEST(WindowLayer, FirstApplicableRuleWins) {
  struct Case {
    std::vector<xcb_atom_t> types;
    std::vector<xcb_atom_t> states;
    bool overrideRedirect;
    std::int32_t layer;
  };
  const std::array cases = {
      Case{{kDesktop}, {kAbove}, true, -1000},
      Case{{kDock}, {kFullscreen, kBelow}, false, 20},
      Case{{kNotification}, {}, false, 101},
      Case{{}, {kAbove}, true, 101},  // someone's pop-up menu
      Case{{kOther}, {kAbove, kFullscreen}, false, 0},
      Case{{}, {kBelow, kAbove}, false, 3},
      Case{{}, {kBelow}, false, -1},
      Case{{kOther}, {kOther}, false, 0},
      Case{{kOther, kDock}, {}, false, 20},  // the first type this table knows
      Case{{kDock, kDesktop}, {}, false, 20},
  };
  for (const Case& c : cases) {
    const ClientProperties properties{c.types, c.states, std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(layerForWindow(properties, c.overrideRedirect, layerAtoms()), c.layer)
        << "types " << c.types.size() << " states " << c.states.size();
  }
}

TEST(WindowLayer, AtomsTheServerDidNotKnowMatchNothing) {
  const LayerAtoms none{};
  const ClientProperties properties{
      {XCB_NONE}, {XCB_NONE}, std::nullopt, std::nullopt, std::nullopt};
  EXPECT_EQ(layerForWindow(properties, false, none), 0);
}

RawProperty raw(xcb_atom_t type, std::uint8_t format, std::uint32_t length, const void* data) {
  return RawProperty{type, format, length, data};
}

TEST(HostileProperties, WrongTypeFormatOrLengthReadsAsAbsent) {
  const std::array<std::uint32_t, 2> two = {1234, 5678};
  const std::uint32_t huge = 0x80000000u;
  const std::uint32_t zero = 0;
  const char text[] = "1234";

  EXPECT_EQ(readProcessId(raw(XCB_ATOM_CARDINAL, 32, 1, two.data())), 1234);
  EXPECT_FALSE(readProcessId(raw(XCB_ATOM_STRING, 8, 4, text)));
  EXPECT_FALSE(readProcessId(raw(XCB_ATOM_CARDINAL, 16, 1, two.data())));
  EXPECT_FALSE(readProcessId(raw(XCB_ATOM_CARDINAL, 32, 2, two.data())));
  EXPECT_FALSE(readProcessId(raw(XCB_ATOM_CARDINAL, 32, 0, two.data())));
  EXPECT_FALSE(readProcessId(raw(XCB_ATOM_CARDINAL, 32, 1, &huge)));
  EXPECT_FALSE(readProcessId(raw(XCB_ATOM_CARDINAL, 32, 1, &zero)));
  EXPECT_FALSE(readProcessId(raw(XCB_ATOM_INTEGER, 32, 1, two.data())));
  EXPECT_FALSE(readProcessId(RawProperty{}));
  // Only the first value of a longer list was fetched.
  EXPECT_FALSE(readProcessId(RawProperty{XCB_ATOM_CARDINAL, 32, 1, two.data(), false}));

  EXPECT_FALSE(readAtomList(raw(XCB_ATOM_CARDINAL, 32, 2, two.data())));
  EXPECT_FALSE(readAtomList(raw(XCB_ATOM_ATOM, 8, 2, two.data())));
  auto atoms = readAtomList(raw(XCB_ATOM_ATOM, 32, 2, two.data()));
  ASSERT_TRUE(atoms);
  EXPECT_EQ(*atoms, (std::vector<xcb_atom_t>{1234, 5678}));
  EXPECT_EQ(readAtomList(raw(XCB_ATOM_ATOM, 32, 0, two.data())), std::vector<xcb_atom_t>{});

  EXPECT_FALSE(readWindow(raw(XCB_ATOM_CARDINAL, 32, 1, two.data())));
  EXPECT_EQ(readWindow(raw(XCB_ATOM_WINDOW, 32, 1, two.data())), 1234u);
}

TEST(HostileProperties, OpacityIsAFractionOfTheFullCardinal) {
  const std::uint32_t full = 0xFFFFFFFFu;
  const std::uint32_t half = 0x7FFFFFFFu;
  const std::uint32_t none = 0;
  EXPECT_EQ(readOpacity(raw(XCB_ATOM_CARDINAL, 32, 1, &full)), 1.0);
  EXPECT_EQ(readOpacity(raw(XCB_ATOM_CARDINAL, 32, 1, &none)), 0.0);
  EXPECT_NEAR(*readOpacity(raw(XCB_ATOM_CARDINAL, 32, 1, &half)), 0.5, 1e-9);
  EXPECT_FALSE(readOpacity(raw(XCB_ATOM_STRING, 8, 4, "full")));
  EXPECT_FALSE(readOpacity(raw(XCB_ATOM_CARDINAL, 8, 4, &full)));
}

}  // namespace
}  // namespace platform::x11
