#include <gtest/gtest.h>

#include "tests/core/sim_fixture.h"

namespace quillmere {
namespace {

using platform::ApplicationActivationPolicy;
using platform::kAlertFirstButtonReturn;
using platform::kAlertSecondButtonReturn;

TEST_F(SimTest, TrustedLaunchRunsEveryStepInOrder) {
  sim->frontmost = platform::RunningApplication{77};
  launch();
  ASSERT_NE(quillmere::app, nullptr);
  EXPECT_EQ(quillmere::app->delegate(), quillmere::delegate);
  EXPECT_EQ(sim->activationPolicy, ApplicationActivationPolicy::accessory);
  EXPECT_EQ(
      journalWithout("timer:0.01"),
      (std::vector<std::string>{"activationPolicy", "run", "stdout:QuillmereApp started",
                                "stdout:Accessibility permissions granted.", "notification",
                                "window", "orderFront", "observer", "observer", "globalMonitor",
                                "globalMonitor", "localMonitor", "timer:0.100000", "statusItem"}));
}

TEST_F(SimTest, UntrustedLaunchAnswersTheAlertBeforeAnythingElse) {
  for (platform::ModalResponse answer : {kAlertFirstButtonReturn, kAlertSecondButtonReturn}) {
    SetUp();
    sim->trusted = false;
    sim->alertResponse = answer;
    launch();

    ASSERT_EQ(sim->alertsShown.size(), 1u);
    const platform::Alert& alert = sim->alertsShown[0];
    EXPECT_EQ(alert.messageText(), "Quillmere needs permission");
    EXPECT_EQ(alert.informativeText(),
              "To blur windows, Quillmere needs Accessibility permission. Please enable it in "
              "System Settings.");
    EXPECT_EQ(alert.buttonTitles(),
              (std::vector<std::string>{"Open System Settings", "I'll do it later"}));
    EXPECT_EQ(sim->standardOutput, std::vector<std::string>{"QuillmereApp started"});

    std::vector<std::string> expectedStart{"activationPolicy", "run", "stdout:QuillmereApp started",
                                           "alert"};
    if (answer == kAlertFirstButtonReturn) expectedStart.push_back("openURL");
    expectedStart.insert(expectedStart.end(), {"notification", "window", "orderFront"});
    auto journal = journalWithout("timer:0.01");
    ASSERT_GE(journal.size(), expectedStart.size());
    EXPECT_EQ(std::vector<std::string>(journal.begin(), journal.begin() + expectedStart.size()),
              expectedStart)
        << "answer " << answer;
    EXPECT_EQ(sim->urlsOpened, answer == kAlertFirstButtonReturn
                                   ? std::vector<std::string>{"settings://privacy/accessibility"}
                                   : std::vector<std::string>{});
    // The rest of the launch happens whatever the answer.
    EXPECT_EQ(delegateRef().overlayWindows.size(), 1u);
    EXPECT_NE(delegateRef().statusItem, nullptr);
    TearDown();
  }
}

TEST_F(SimTest, IconIsSetOnlyFromAReadableResource) {
  launch();
  EXPECT_EQ(sim->applicationIcon, nullptr);  // no resource

  SetUp();
  sim->resources["app-icon.png"] = "/res/app-icon.png";
  launch();
  EXPECT_EQ(sim->applicationIcon, nullptr);  // not an image

  SetUp();
  sim->resources["app-icon.png"] = "/res/app-icon.png";
  sim->readableImages.insert("/res/app-icon.png");
  launch();
  ASSERT_NE(sim->applicationIcon, nullptr);
  EXPECT_EQ(sim->applicationIcon->filePath(), "/res/app-icon.png");
  auto journal = sim->journal;
  auto icon = std::find(journal.begin(), journal.end(), "icon");
  EXPECT_LT(std::find(journal.begin(), journal.end(), "stdout:QuillmereApp started"), icon);
  EXPECT_LT(icon,
            std::find(journal.begin(), journal.end(), "stdout:Accessibility permissions granted."));
}

}  // namespace
}  // namespace quillmere
