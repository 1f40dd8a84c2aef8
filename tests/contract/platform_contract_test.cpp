#include <algorithm>
#include <set>
#include <vector>

#include "platform/animation.h"
#include "platform/window.h"
#include "tests/contract/platform_contract.h"

namespace platform::contract {

void PlatformContractTest::SetUp() {
  installPlatform(GetParam().make());
}
void PlatformContractTest::TearDown() {
  installPlatform(nullptr);
}

namespace {

std::shared_ptr<Window> makeOverlay(Rect frame, WindowLevel level) {
  auto window =
      Window::create(frame, kWindowStyleMaskBorderless, BackingStoreType::buffered, false);
  window->setIgnoresMouseEvents(true);
  window->setOpaque(false);
  window->setLevel(level);
  window->setAlphaValue(1.0);
  window->orderFront();
  return window;
}

}  // namespace

// Screens in global points with the primary at the origin; windows with distinct, stable
// numbers that keep their last level, listed while visible with well-typed values.
TEST_P(PlatformContractTest, ScreensAndOwnWindowsAsTheCoreReadsThem) {
  std::vector<Rect> screens = currentPlatform().screenFrames();
  ASSERT_FALSE(screens.empty());
  for (const Rect& screen : screens) {
    EXPECT_GT(screen.size.width, 0.0);
    EXPECT_GT(screen.size.height, 0.0);
  }
  EXPECT_TRUE(std::any_of(screens.begin(), screens.end(), [](const Rect& r) {
    return r.origin == Point{0.0, 0.0};
  }));

  auto first = makeOverlay(screens.at(0), -1);
  auto second = makeOverlay(screens.at(0), -1);
  const WindowNumber number = first->windowNumber();
  EXPECT_GT(number, 0);
  EXPECT_NE(number, second->windowNumber());
  first->setLevel(3);
  first->setLevel(5);
  runFor(0.2);
  EXPECT_EQ(first->windowNumber(), number);
  EXPECT_EQ(first->level(), 5);

  auto list = copyWindowInfo(kWindowListOptionOnScreenOnly | kWindowListExcludeDesktopElements,
                             kNullWindowId);
  ASSERT_NE(list, nullptr);
  const auto record = std::find_if(list->begin(), list->end(), [&](const WindowInfo& info) {
    auto value = info.find(kWindowNumberKey);
    return value != info.end() && value->second == WindowInfoValue{number};
  });
  ASSERT_NE(record, list->end());
  for (const auto& [key, value] : *record) {
    if (key == kWindowAlphaKey) {
      EXPECT_TRUE(std::holds_alternative<double>(value)) << key;
    } else if (key == kWindowNumberKey || key == kWindowOwnerPidKey || key == kWindowLayerKey) {
      EXPECT_TRUE(std::holds_alternative<std::int64_t>(value)) << key;
    }
  }
  EXPECT_EQ(windowLevelForKey(WindowLevelKey::normal), 0);
}

TEST_P(PlatformContractTest, TimersFireOnScheduleUntilInvalidated) {
  Platform& backend = currentPlatform();
  int once = 0;
  int repeating = 0;
  const double start = backend.now();
  backend.scheduleTimer(0.05, false, [&] { ++once; });
  TimerId timer = backend.scheduleTimer(0.1, true, [&] { ++repeating; });
  runFor(0.35);
  EXPECT_EQ(once, 1);
  EXPECT_GE(repeating, 2);
  EXPECT_LE(repeating, 4);
  EXPECT_GE(backend.now() - start, 0.35);
  backend.invalidateTimer(timer);
  const int seen = repeating;
  runFor(0.25);
  EXPECT_EQ(repeating, seen);
}

// The core's main input: it restacks on each activation and reads the owner there and then.
TEST_P(PlatformContractTest, AnActivationIsPostedOnceAndTheFrontmostApplicationNamesItsOwner) {
  Platform& backend = currentPlatform();
  runFor(0.3);  // whatever was frontmost at the start is announced, if at all, before we listen
  std::vector<ProcessId> owners;
  backend.addWorkspaceObserver(WorkspaceNotification::didActivateApplication, [&] {
    owners.push_back(
        backend.frontmostApplication().value_or(RunningApplication{0}).processIdentifier);
  });
  const OtherApplication other = GetParam().openOtherApplication(backend);
  for (int i = 0; i < 100 && owners.empty(); ++i) runFor(0.05);
  runFor(0.3);  // time for a second notification, which must not come
  EXPECT_EQ(owners, std::vector<ProcessId>{other.pid});
}

TEST_P(PlatformContractTest, FadesPassThroughAndEndExactlyAtTheTarget) {
  auto window = makeOverlay(currentPlatform().screenFrames().at(0), -1);
  window->setAlphaValue(0.0);
  AnimationContext::runAnimationGroup([&](AnimationContext& context) {
    context.setDuration(0.3);
    window->animator().setAlphaValue(1.0);
  });
  EXPECT_EQ(window->alphaValue(), 0.0);  // nothing happens inside the call
  runFor(0.15);
  EXPECT_GT(window->alphaValue(), 0.0);
  EXPECT_LT(window->alphaValue(), 1.0);
  runFor(0.3);
  EXPECT_EQ(window->alphaValue(), 1.0);
}

}  // namespace platform::contract
