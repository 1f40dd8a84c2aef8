// The panes' looks and layers, what the peers send when, and the menu rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/gnome/pane_look.h"
#include "platform/gnome/pane_peer.h"
#include "platform/gnome/status_menu_peer.h"
#include "platform/qt/window_levels.h"
#include "platform/render/materials.h"

namespace platform::gnome {
namespace {

render::ContentSnapshot blurContent(double viewAlpha) {
  render::ContentSnapshot content;
  content.size = {400.0, 300.0};
  render::EffectViewSnapshot view;
  view.frame = {{0.0, 0.0}, {400.0, 300.0}};
  view.material = VisualEffectMaterial::hudWindow;
  view.alpha = viewAlpha;
  content.effectView = view;
  return content;
}

// The dim's fill, the squares' grid on each monitor and every pane's place on the stage (its
// flip about the primary monitor's bottom, too) are pinned to the pixel by the GNOME
// scenarios; the blur's numbers are not.
TEST(PaneLook, BlurBecomesItsKindAndLook) {
  const Rect stage{{100.0, 50.0}, {400.0, 300.0}};

  const PaneLook blur = paneLookOf(blurContent(0.7), stage, true, -1);
  const render::MaterialLook& hud = render::kHudWindowLook;
  EXPECT_EQ(blur.kind, "blur");
  EXPECT_EQ(blur.sigma, render::kBlurSigmaPoints);
  EXPECT_EQ(blur.tint,
            (std::array<double, 4>{hud.tint.red, hud.tint.green, hud.tint.blue, hud.tint.alpha}));
  EXPECT_EQ(blur.saturation, hud.saturation);
  EXPECT_EQ(blur.weight, 0.7);
  EXPECT_EQ(blur.fill, (std::array<double, 4>{}));
}

// The normal level's and the floating level's layers are pinned by the GNOME scenarios.
TEST(PaneLook, LayerIsTheHighestWhoseLevelIsNotAbove) {
  const std::pair<WindowLevel, int> cases[] = {
      {-5000, 0}, {qt::kDesktopLayer, 0},   {-2, 0},  {qt::kBelowLayer, 1}, {2, 2},
      {100, 4},   {qt::kPopUpMenuLayer, 7}, {5000, 7}};
  for (const auto& [level, layer] : cases) EXPECT_EQ(stackLayerForLevel(level), layer) << level;
}

// Records the calls, one line each.
class Recorder final : public ShellCalls {
 public:
  void setPane(std::uint32_t pane, const QVariantMap& look) override {
    calls.push_back("SetPane " + std::to_string(pane) + " " + look.keys().join(',').toStdString());
    lastLook = look;
  }
  void setAlpha(std::uint32_t pane, double alpha) override {
    calls.push_back("SetAlpha " + std::to_string(pane) + " " + std::to_string(alpha));
  }
  void removePane(std::uint32_t pane) override {
    calls.push_back("RemovePane " + std::to_string(pane));
  }
  void setMenu(const std::vector<MenuRow>& sent) override {
    calls.push_back("SetMenu");
    rows = sent;
  }
  void removeMenu() override { calls.push_back("RemoveMenu"); }

  std::vector<std::string> calls;
  QVariantMap lastLook;
  std::vector<MenuRow> rows;
};

TEST(PanePeer, SendsOnlyWhatChangedAndNothingWhenNothingDid) {
  Recorder shell;
  auto panes = std::make_shared<PaneSet>(&shell, [] { return 900.0; });
  const auto window =
      Window::create(Rect{{0.0, 0.0}, {1600.0, 900.0}}, 0, BackingStoreType::buffered, false);
  auto peer = std::make_unique<PanePeer>(*window, panes, 7);
  peer->frameDidChange();
  EXPECT_TRUE(shell.calls.empty()) << "nothing before the first orderFront";

  window->setAlphaValue(0.0);
  peer->orderFront();
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.lastLook.value("alpha").toDouble(), 0.0);

  peer->orderFront();
  peer->frameDidChange();
  peer->contentDidChange();
  peer->alphaDidChange();
  EXPECT_EQ(shell.calls.size(), 1u);

  window->setAlphaValue(0.25);
  peer->alphaDidChange();
  window->setLevel(3);  // a floating level: Mutter's top layer
  peer->levelDidChange();
  window->setFrame(Rect{{0.0, 100.0}, {1600.0, 800.0}}, false);
  peer->frameDidChange();
  panes.reset();
  peer.reset();
  EXPECT_EQ(shell.calls,
            (std::vector<std::string>{
                "SetPane 0 " + std::string("alpha,fill,height,kind,layer,saturation,"
                                           "shown,sigma,squareOriginX,squareOriginY,"
                                           "squareSide,tint,weight,width,x,y"),
                "SetAlpha 0 0.250000", "SetPane 0 layer", "SetPane 0 height", "RemovePane 0"}));
}

TEST(PanePeer, NumbersAreReusedAndTheSixtyFifthPaneStaysSilent) {
  Recorder shell;
  auto panes = std::make_shared<PaneSet>(&shell, [] { return 0.0; });
  const auto window =
      Window::create(Rect{{0.0, 0.0}, {10.0, 10.0}}, 0, BackingStoreType::buffered, false);
  std::vector<std::unique_ptr<PanePeer>> peers;
  for (int i = 0; i < 65; ++i) peers.push_back(std::make_unique<PanePeer>(*window, panes, i));
  peers[64]->orderFront();
  EXPECT_TRUE(shell.calls.empty());
  peers[3].reset();
  peers.push_back(std::make_unique<PanePeer>(*window, panes, 99));
  peers.back()->orderFront();
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].substr(0, 10), "SetPane 3 ");
}

class Receiver final : public ApplicationDelegate {
 public:
  void applicationDidFinishLaunching(const Notification&) override {}
  bool respondsToAction(std::string_view action) const override { return action == "pick:"; }
  void performAction(std::string_view, Object&) override { ++performed; }
  int performed = 0;
};

// The real menu's rows, the slider's among them, and their clicks and slides are pinned by
// tests/gnome/test_input.py; these are the rows and calls that menu never makes.
TEST(StatusMenuPeer, RowsFollowTheMenuAndCallsComeBackToTheirItems) {
  auto receiver = std::make_shared<Receiver>();
  Application::sharedApplication().setDelegate(receiver);
  auto blur = MenuItem::create("Blur \xC3\xA9", "pick:", "b");
  blur->setState(ControlStateValue::on);
  auto menu = Menu::create();
  for (const auto& row :
       {blur, MenuItem::separatorItem(), MenuItem::create("Nobody", "nobody:", "Q")}) {
    menu->addItem(row);
  }
  StatusItem item(kVariableStatusItemLength);
  item.setMenu(menu);
  Recorder shell;
  auto peers = std::make_shared<PaneSet>(&shell, nullptr);
  auto peer = std::make_unique<StatusMenuPeer>(item, peers);
  peer->menuDidChange();

  const std::vector<MenuRow> expected{{"item", "Blur \xC3\xA9", "b", true, true, 0.0, 0.0, 0.0},
                                      {"separator", "", "", false, true, 0.0, 0.0, 0.0},
                                      {"item", "Nobody", "", false, false, 0.0, 0.0, 0.0}};
  EXPECT_EQ(shell.rows, expected);

  peer->activate(0);
  peer->activate(1);
  peer->activate(2);  // disabled
  peer->activate(-1);
  peer->activate(3);
  peer->slide(0, 0.4);
  EXPECT_EQ(receiver->performed, 1);

  // A change in the menu sends it again; one that changes no row sends nothing.
  blur->setState(ControlStateValue::off);
  blur->setState(ControlStateValue::off);
  peer.reset();
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"SetMenu", "SetMenu", "RemoveMenu"}));
  Application::sharedApplication().setDelegate({});
}

}  // namespace
}  // namespace platform::gnome
