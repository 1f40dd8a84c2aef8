#include <gtest/gtest.h>

#include "tests/core/sim_fixture.h"

namespace quillmere {
namespace {

using platform::ApplicationActivationPolicy;
using platform::kAlertFirstButtonReturn;
using platform::kAlertSecondButtonReturn;

// What every launch does once the permission is settled, in this order.
const std::vector<std::string> kLaunchAfterPermission{
    "notification",  "window",        "orderFront",   "observer",       "observer",
    "globalMonitor", "globalMonitor", "localMonitor", "timer:0.100000", "statusItem"};

TEST_F(SimTest, TrustedLaunchRunsEveryStepInOrder) {
  sim->frontmost = platform::RunningApplication{77};
  launch();
  EXPECT_EQ(sim->activationPolicy, ApplicationActivationPolicy::accessory);
  std::vector<std::string> expected{"activationPolicy", "run", "stdout:QuillmereApp started",
                                    "stdout:Accessibility permissions granted."};
  expected.insert(expected.end(), kLaunchAfterPermission.begin(), kLaunchAfterPermission.end());
  EXPECT_EQ(journalWithout("timer:0.01"), expected);
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

    // The rest of the launch happens whatever the answer.
    std::vector<std::string> expected{"activationPolicy", "run", "stdout:QuillmereApp started",
                                      "alert"};
    if (answer == kAlertFirstButtonReturn) expected.push_back("openURL");
    expected.insert(expected.end(), kLaunchAfterPermission.begin(), kLaunchAfterPermission.end());
    EXPECT_EQ(journalWithout("timer:0.01"), expected) << "answer " << answer;
    EXPECT_EQ(sim->urlsOpened, answer == kAlertFirstButtonReturn
                                   ? std::vector<std::string>{"settings://privacy/accessibility"}
                                   : std::vector<std::string>{});
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
