#include "platform/qt/tray_menu.h"
#include "platform/qt/menu_item_text.h"

#include <gtest/gtest.h>

#include <QAction>

#include "platform/application.h"

namespace platform::qt {
namespace {

// Answers the actions a row can name, as Quillmere's delegate does, so that those rows show
// enabled; it leaves every check mark where it is.
class Receiver final : public ApplicationDelegate {
 public:
  void applicationDidFinishLaunching(const Notification&) override {}
  bool respondsToAction(std::string_view action) const override {
    return action == "changeMode:" || action == "toggleEffectFromMenu";
  }
  void performAction(std::string_view, Object&) override { ++performed; }
  int performed = 0;
};

// The real menu's slider (its place, range and value), a click on its headings and the keys that
// skip them are pinned by tests/wayland/test_menu.py.
TEST(TrayMenu, RowsAsQtHoldsThemFollowTheModel) {
  auto receiver = std::make_shared<Receiver>();
  Application::sharedApplication().setDelegate(receiver);

  auto heading = MenuItem::create("Shortcuts & Gestures", "", "");
  heading->setEnabled(false);
  auto blur = MenuItem::create("Blur", "changeMode:", "");
  blur->setState(ControlStateValue::on);
  auto dim = MenuItem::create("Dim", "changeMode:", "");

  auto menu = Menu::create();
  for (const auto& row : {heading, MenuItem::separatorItem(), blur, dim,
                          MenuItem::create("\u2318 + Q", "nobody:", ""),
                          MenuItem::create("Toggle Quillmere", "toggleEffectFromMenu", "b"),
                          MenuItem::create("Quit", std::string(kTerminateAction), "q")}) {
    menu->addItem(row);
  }
  TrayMenu tray;
  tray.setModel(menu.get());

  // A single '&' would be a mnemonic; the key equivalent goes after a tab into the shortcut
  // column; only a checked row is checkable; a row nobody answers shows disabled.
  struct Row {
    int index;
    QString text;
    bool checked;
    bool enabled;
  };
  const QList<QAction*> actions = tray.menu().actions();
  ASSERT_EQ(actions.size(), 7);
  EXPECT_TRUE(actions[1]->isSeparator());
  for (const Row& row :
       {Row{0, "Shortcuts && Gestures", false, false}, Row{2, "Blur", true, true},
        Row{3, "Dim", false, true}, Row{4, "\u2318 + Q", false, false},
        Row{5, "Toggle Quillmere\tSuper+B", false, true}, Row{6, "Quit\tSuper+Q", false, true}}) {
    SCOPED_TRACE(row.text.toStdString());
    EXPECT_EQ(actions[row.index]->text(), row.text);
    EXPECT_EQ(actions[row.index]->isCheckable(), row.checked);
    EXPECT_EQ(actions[row.index]->isChecked(), row.checked);
    EXPECT_EQ(actions[row.index]->isEnabled(), row.enabled);
  }

  // Qt flips a checkable row when it is triggered; the model decides, so the current mode
  // chosen again keeps its mark.
  actions[2]->trigger();
  EXPECT_EQ(receiver->performed, 1);
  EXPECT_TRUE(actions[2]->isChecked());

  // A change in the model moves the mark without rebuilding the rows.
  blur->setState(ControlStateValue::off);
  dim->setState(ControlStateValue::on);
  ASSERT_EQ(tray.menu().actions(), actions);
  EXPECT_FALSE(actions[2]->isCheckable());
  EXPECT_TRUE(actions[3]->isChecked());
}

// Titles and shortcuts as a menu row shows them are read off the menu above; these are the
// cases that menu does not have.
TEST(MenuItemText, EveryAmpersandShowsAndShiftedKeysNameShift) {
  EXPECT_EQ(menuTitleText("A && B &"), QStringLiteral("A &&&& B &&"));
  EXPECT_EQ(keyEquivalentText("b"), QStringLiteral("Super+B"));
  EXPECT_EQ(keyEquivalentText("Q"), QStringLiteral("Super+Shift+Q"));
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

// The real slider's ends give exactly the intensity's ends in tests/wayland/test_menu.py.
TEST(MenuItemText, SliderPositionsGiveExactValues) {
  EXPECT_EQ(sliderPosition(0.555), 56);
  EXPECT_EQ(sliderValue(70), 0.7);
  for (int position = 10; position <= 100; ++position) {
    EXPECT_EQ(sliderPosition(sliderValue(position)), position);
  }
}

}  // namespace
}  // namespace platform::qt
