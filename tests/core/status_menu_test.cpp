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

TEST_F(StatusMenuTest, SliderAndStatusButtonLook) {
  const auto& container = menu->itemArray()[10]->view();
  ASSERT_NE(container, nullptr);
  EXPECT_EQ(container->frame(), makeRect(0, 0, 200, 30));
  Slider* slider = sim->statusMenuSlider();
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->frame(), makeRect(20, 0, 160, 30));

  StatusBarButton* button = app->statusItem->button();
  ASSERT_NE(button, nullptr);
  ASSERT_NE(button->image(), nullptr);
  EXPECT_EQ(button->image()->symbolName(), "circle.dotted");
  ASSERT_TRUE(button->image()->symbolConfiguration().has_value());
  EXPECT_EQ(button->image()->symbolConfiguration()->pointSize, 13.0);
  EXPECT_EQ(button->image()->symbolConfiguration()->weight, FontWeight::medium);
}

// The check moving and every overlay showing the mode chosen: the GNOME and X11 scenarios.
TEST_F(StatusMenuTest, ChoosingTheCurrentModeAgainStillRebuilds) {
  ASSERT_TRUE(sim->chooseMenuItem("Dim"));
  app->overlayWindows[1]->contentView()->layer()->setBackgroundColor(std::nullopt);
  ASSERT_TRUE(sim->chooseMenuItem("Dim"));
  EXPECT_TRUE(app->overlayWindows[1]->contentView()->layer()->backgroundColor().has_value());
  EXPECT_EQ(modeStates(),
            (std::vector<ControlStateValue>{ControlStateValue::off, ControlStateValue::off,
                                            ControlStateValue::on}));
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

// The slider's ends, in pixels: test_input.py on GNOME.
TEST_F(StatusMenuTest, SliderSetsTheIntensityOfEveryOverlay) {
  sim->dragSliderTo(0.42);
  EXPECT_EQ(app->intensity, 0.42);
  EXPECT_EQ(app->overlayWindows[1]->contentView()->subviews()[0]->alphaValue(), 0.42);
}

TEST_F(SimTest, WithoutAStatusItemTheModeStillChanges) {
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
