#include "platform/qt/tray_menu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QSlider>
#include <QWidgetAction>

#include "platform/application.h"
#include "platform/view.h"

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

std::shared_ptr<MenuItem> item(std::string title, std::string action, std::string key = "") {
  return MenuItem::create(std::move(title), std::move(action), std::move(key));
}

TEST(TrayMenu, RowsAsQtHoldsThemFollowTheModel) {
  auto receiver = std::make_shared<Receiver>();
  Application::sharedApplication().setDelegate(receiver);

  auto heading = item("Shortcuts & Gestures", "");
  heading->setEnabled(false);
  auto blur = item("Blur", "changeMode:");
  blur->setState(ControlStateValue::on);
  auto dim = item("Dim", "changeMode:");
  auto slider = Slider::sliderWithValue(0.7, 0.1, 1.0, receiver, "intensityChanged:");
  slider->setFrame(Rect{{20.0, 2.0}, {160.0, 20.0}});
  auto container = View::create(Rect{{0.0, 0.0}, {200.0, 30.0}});
  container->addSubview(slider);
  auto sliderRow = MenuItem::create();
  sliderRow->setView(container);

  auto menu = Menu::create();
  for (const auto& row :
       {heading, MenuItem::separatorItem(), blur, dim, sliderRow, item("\u2318 + Q", "nobody:"),
        item("Toggle Quillmere", "toggleEffectFromMenu", "b"),
        item("Quit", std::string(kTerminateAction), "q")}) {
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
  ASSERT_EQ(actions.size(), 8);
  EXPECT_TRUE(actions[1]->isSeparator());
  for (const Row& row :
       {Row{0, "Shortcuts && Gestures", false, false}, Row{2, "Blur", true, true},
        Row{3, "Dim", false, true}, Row{5, "\u2318 + Q", false, false},
        Row{6, "Toggle Quillmere\tSuper+B", false, true}, Row{7, "Quit\tSuper+Q", false, true}}) {
    SCOPED_TRACE(row.text.toStdString());
    EXPECT_EQ(actions[row.index]->text(), row.text);
    EXPECT_EQ(actions[row.index]->isCheckable(), row.checked);
    EXPECT_EQ(actions[row.index]->isChecked(), row.checked);
    EXPECT_EQ(actions[row.index]->isEnabled(), row.enabled);
  }

  // The view row carries a real slider, its frame turned into Qt's downward y, its range and
  // value in hundredths, following the knob while it is dragged.
  auto* widgetAction = qobject_cast<QWidgetAction*>(actions[4]);
  ASSERT_NE(widgetAction, nullptr);
  EXPECT_EQ(widgetAction->defaultWidget()->size(), QSize(200, 30));
  const auto* control = widgetAction->defaultWidget()->findChild<QSlider*>();
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->geometry(), QRect(20, 8, 160, 20));
  EXPECT_EQ(control->minimum(), 10);
  EXPECT_EQ(control->maximum(), 100);
  EXPECT_EQ(control->value(), 70);
  EXPECT_TRUE(control->hasTracking());

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

}  // namespace
}  // namespace platform::qt
