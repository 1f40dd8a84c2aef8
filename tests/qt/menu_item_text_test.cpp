#include "platform/qt/menu_item_text.h"

#include <gtest/gtest.h>

namespace platform::qt {
namespace {

// Titles and shortcuts as a menu row shows them are read off a real menu in
// tray_menu_test.cpp; these are the cases that menu does not have.
TEST(MenuItemText, EveryAmpersandShowsAndShiftedKeysNameShift) {
  EXPECT_EQ(menuTitleText("A && B &"), QStringLiteral("A &&&& B &&"));
  EXPECT_EQ(menuTitleText(""), QString());
  EXPECT_EQ(keyEquivalentText("b"), QStringLiteral("Super+B"));
  EXPECT_EQ(keyEquivalentText("Q"), QStringLiteral("Super+Shift+Q"));
  EXPECT_EQ(keyEquivalentText(""), QString());
}

TEST(MenuItemText, KeyEquivalentMatchesOnlySuperWithTheSameKey) {
  const struct {
    const char* equivalent;
    int key;
    Qt::KeyboardModifiers modifiers;
    bool matches;
  } cases[] = {
      {"q", Qt::Key_Q, Qt::MetaModifier, true},
      {"q", Qt::Key_Q, Qt::MetaModifier | Qt::KeypadModifier, true},
      {"q", Qt::Key_Q, Qt::NoModifier, false},
      {"q", Qt::Key_Q, Qt::ControlModifier, false},
      {"q", Qt::Key_Q, Qt::MetaModifier | Qt::ControlModifier, false},
      {"q", Qt::Key_Q, Qt::MetaModifier | Qt::AltModifier, false},
      {"q", Qt::Key_Q, Qt::MetaModifier | Qt::ShiftModifier, false},
      {"Q", Qt::Key_Q, Qt::MetaModifier | Qt::ShiftModifier, true},
      {"Q", Qt::Key_Q, Qt::MetaModifier, false},
      {"q", Qt::Key_W, Qt::MetaModifier, false},
      {"", Qt::Key_B, Qt::MetaModifier, false},
      {"bq", Qt::Key_B, Qt::MetaModifier, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(matchesKeyEquivalent(c.equivalent, c.key, c.modifiers), c.matches)
        << c.equivalent << " key " << c.key << " modifiers " << c.modifiers.toInt();
  }
}

// The real slider's range and starting value are checked in tray_menu_test.cpp; its ends give
// exactly the intensity's ends.
TEST(MenuItemText, SliderPositionsGiveExactValues) {
  EXPECT_EQ(sliderPosition(0.555), 56);
  EXPECT_EQ(sliderValue(70), 0.7);
  EXPECT_EQ(sliderValue(10), 0.1);
  EXPECT_EQ(sliderValue(100), 1.0);
  for (int position = 10; position <= 100; ++position) {
    EXPECT_EQ(sliderPosition(sliderValue(position)), position);
  }
}

}  // namespace
}  // namespace platform::qt
