#include <gtest/gtest.h>

#include "platform/menu.h"
#include "tests/core/sim_fixture.h"

namespace quillmere {
namespace {

using namespace platform;
using EffectMode = QuillmereApp::EffectMode;

class StatusMenuTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim->screens = {makeRect(0, 0, 800, 600), makeRect(800, 0, 800, 600)};
    launch();
    app = &delegateRef();
    ASSERT_NE(app->statusItem, nullptr);
    menu = app->statusItem->menu();
    ASSERT_NE(menu, nullptr);
  }

  std::vector<ControlStateValue> modeStates() const {
    std::vector<ControlStateValue> states;
    for (int i = 5; i <= 7; ++i) states.push_back(menu->itemArray()[i]->state());
    return states;
  }

  QuillmereApp* app = nullptr;
  Menu* menu = nullptr;
};

TEST_F(StatusMenuTest, LayoutTextsKeysAndEnabledState) {
  struct Row {
    const char* title;
    const char* action;
    const char* key;
    bool separator;
    bool shownEnabled;
  };
  const Row rows[] = {
      {"Shortcuts & Gestures", "", "", false, false},
      {"  Shake mouse to toggle", "", "", false, false},
      {"  \xE2\x8C\x98 + B : Quick Toggle", "", "", false, false},
      {"  \xE2\x8C\x98 + Q : Quit App", "", "", false, false},
      {"", "", "", true, false},
      {"Blur", "changeMode:", "", false, true},
      {"Pixelate", "changeMode:", "", false, true},
      {"Dim", "changeMode:", "", false, true},
      {"", "", "", true, false},
      {"Effect Intensity", "", "", false, false},
      {"", "", "", false, true},  // the slider
      {"", "", "", true, false},
      {"Toggle Quillmere", "toggleEffectFromMenu", "b", false, true},
      {"Quit", "terminate:", "q", false, true},
  };
  const auto& items = menu->itemArray();
  ASSERT_EQ(items.size(), std::size(rows));
  for (std::size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE("item " + std::to_string(i + 1));
    EXPECT_EQ(items[i]->title(), rows[i].title);
    EXPECT_EQ(items[i]->action(), rows[i].action);
    EXPECT_EQ(items[i]->keyEquivalent(), rows[i].key);
    EXPECT_EQ(items[i]->isSeparatorItem(), rows[i].separator);
    EXPECT_EQ(menu->showsItemEnabled(*items[i]), rows[i].shownEnabled);
    EXPECT_EQ(items[i]->representedObject().has_value(), i >= 5 && i <= 7);
  }
  EXPECT_EQ(modeStates(),
            (std::vector<ControlStateValue>{ControlStateValue::on, ControlStateValue::off,
                                            ControlStateValue::off}));
  EXPECT_FALSE(sim->terminated);
  ASSERT_TRUE(sim->chooseMenuItem("Quit"));
  EXPECT_TRUE(sim->terminated);
}

TEST_F(StatusMenuTest, SliderAndStatusButtonLook) {
  const auto& container = menu->itemArray()[10]->view();
  ASSERT_NE(container, nullptr);
  EXPECT_EQ(container->frame(), makeRect(0, 0, 200, 30));
  Slider* slider = sim->statusMenuSlider();
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->frame(), makeRect(20, 0, 160, 30));
  EXPECT_EQ(slider->doubleValue(), 0.7);
  EXPECT_EQ(slider->minValue(), 0.1);
  EXPECT_EQ(slider->maxValue(), 1.0);
  EXPECT_EQ(slider->target(), quillmere::delegate);
  EXPECT_EQ(slider->action(), "intensityChanged:");

  StatusBarButton* button = app->statusItem->button();
  ASSERT_NE(button, nullptr);
  ASSERT_NE(button->image(), nullptr);
  EXPECT_EQ(button->image()->symbolName(), "circle.dotted");
  ASSERT_TRUE(button->image()->symbolConfiguration().has_value());
  EXPECT_EQ(button->image()->symbolConfiguration()->pointSize, 13.0);
  EXPECT_EQ(button->image()->symbolConfiguration()->weight, FontWeight::medium);
}

TEST_F(StatusMenuTest, ChangingModeMovesTheCheckAndRebuildsEveryOverlay) {
  ASSERT_TRUE(sim->chooseMenuItem("Dim"));
  EXPECT_EQ(app->currentMode, EffectMode::dim);
  EXPECT_EQ(modeStates(),
            (std::vector<ControlStateValue>{ControlStateValue::off, ControlStateValue::off,
                                            ControlStateValue::on}));
  for (const auto& window : app->overlayWindows) {
    EXPECT_TRUE(window->contentView()->subviews().empty());
    EXPECT_TRUE(window->contentView()->layer()->backgroundColor().has_value());
  }

  // The current mode again: still rebuilt (a tint removed by hand comes back).
  app->overlayWindows[1]->contentView()->layer()->setBackgroundColor(std::nullopt);
  ASSERT_TRUE(sim->chooseMenuItem("Dim"));
  EXPECT_TRUE(app->overlayWindows[1]->contentView()->layer()->backgroundColor().has_value());
  EXPECT_EQ(modeStates()[2], ControlStateValue::on);
}

TEST_F(StatusMenuTest, ItemsWithoutAModeAreIgnored) {
  auto stray = MenuItem::create("Pixelate", "changeMode:", "");
  app->changeMode(*stray);
  stray->setRepresentedObject(std::string("Pixelate"));
  app->changeMode(*stray);
  EXPECT_EQ(app->currentMode, EffectMode::blur);
  EXPECT_EQ(modeStates()[0], ControlStateValue::on);
}

TEST_F(StatusMenuTest, ModeChosenWhileOffShowsAfterTheNextToggle) {
  ASSERT_TRUE(sim->chooseMenuItem("Toggle Quillmere"));
  sim->advance(0.5);
  ASSERT_TRUE(sim->chooseMenuItem("Pixelate"));
  const Window& window = *app->overlayWindows[0];
  EXPECT_EQ(window.alphaValue(), 0.0);
  EXPECT_EQ(window.contentView()->subviews().size(), 1u);
  EXPECT_EQ(window.contentView()->subviews()[0]->frame(), makeRect(-100, -100, 1000, 800));
  ASSERT_TRUE(sim->chooseMenuItem("Toggle Quillmere"));
  sim->advance(0.5);
  EXPECT_EQ(window.alphaValue(), 1.0);
  EXPECT_EQ(menu->itemArray()[12]->state(), ControlStateValue::off);
}

TEST_F(StatusMenuTest, SliderSetsTheIntensityWithinItsRange) {
  sim->dragSliderTo(0.0);
  EXPECT_EQ(app->intensity, 0.1);
  for (const auto& window : app->overlayWindows) {
    EXPECT_EQ(window->contentView()->subviews()[0]->alphaValue(), 0.1);
  }
  sim->dragSliderTo(0.42);
  EXPECT_EQ(app->intensity, 0.42);
  EXPECT_EQ(app->overlayWindows[1]->contentView()->subviews()[0]->alphaValue(), 0.42);
}

TEST_F(SimTest, MenuIsBuiltEvenWithoutAStatusItemOrButton) {
  sim->hasStatusButton = false;
  launch();
  ASSERT_NE(delegateRef().statusItem, nullptr);
  EXPECT_EQ(delegateRef().statusItem->button(), nullptr);
  EXPECT_EQ(delegateRef().statusItem->menu()->itemArray().size(), 14u);

  SetUp();
  sim->hasStatusArea = false;
  launch();
  EXPECT_EQ(delegateRef().statusItem, nullptr);
  auto stray = MenuItem::create("Dim", "changeMode:", "");
  stray->setRepresentedObject(QuillmereApp::EffectMode::dim);
  delegateRef().changeMode(*stray);  // no menu to update, the overlays still change
  EXPECT_TRUE(delegateRef().overlayWindows[0]->contentView()->subviews().empty());
}

}  // namespace
}  // namespace quillmere
