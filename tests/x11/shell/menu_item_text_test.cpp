#include "platform/x11/shell/menu_item_text.h"

#include <gtest/gtest.h>

namespace platform::x11 {
namespace {

TEST(MenuItemText, TitlesKeepEveryByteAndShowAmpersands) {
  struct Case {
    const char* title;
    QString shown;
  };
  const Case cases[] = {
      {"Shortcuts & Gestures", QStringLiteral("Shortcuts && Gestures")},
      {"  \u2318 + B : Quick Toggle", QString::fromUtf8("  \u2318 + B : Quick Toggle")},
      {"A && B &", QStringLiteral("A &&&& B &&")},
      {"", QString()},
  };
  for (const Case& c : cases) EXPECT_EQ(menuTitleText(c.title), c.shown) << c.title;
  EXPECT_EQ(menuTitleText("  \u2318 + Q : Quit App").toUtf8().size(), 20);
}

TEST(MenuItemText, KeyEquivalentsReadAsSuperShortcuts) {
  EXPECT_EQ(keyEquivalentText("b"), QStringLiteral("Super+B"));
  EXPECT_EQ(keyEquivalentText("q"), QStringLiteral("Super+Q"));
  EXPECT_EQ(keyEquivalentText("Q"), QStringLiteral("Super+Shift+Q"));
  EXPECT_EQ(keyEquivalentText(""), QString());
}

TEST(MenuItemText, KeyEquivalentMatchesOnlySuperWithTheSameKey) {
  struct Case {
    const char* equivalent;
    int key;
    Qt::KeyboardModifiers modifiers;
    bool matches;
  };
  const Case cases[] = {
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
      {"b", Qt::Key_B, Qt::MetaModifier, true},
      {"", Qt::Key_B, Qt::MetaModifier, false},
      {"bq", Qt::Key_B, Qt::MetaModifier, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matchesKeyEquivalent(c.equivalent, c.key, c.modifiers), c.matches)
        << c.equivalent << " key " << c.key << " modifiers " << c.modifiers.toInt();
  }
}

TEST(MenuItemText, SliderPositionsGiveExactValues) {
  EXPECT_EQ(sliderPosition(0.1), 10);
  EXPECT_EQ(sliderPosition(1.0), 100);
  EXPECT_EQ(sliderPosition(0.7), 70);
  EXPECT_EQ(sliderPosition(0.555), 56);
  EXPECT_EQ(sliderValue(10), 0.1);
  EXPECT_EQ(sliderValue(100), 1.0);
  EXPECT_EQ(sliderValue(70), 0.7);
  for (int position = 10; position <= 100; ++position) {
    EXPECT_EQ(sliderPosition(sliderValue(position)), position);
  }
}

}  // namespace
}  // namespace platform::x11
