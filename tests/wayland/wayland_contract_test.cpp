// The platform contract on the Wayland backend, and what this backend adds to it. Run through
// tests/desktop/run.py, which gives it a private headless sway of its own.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include "platform/wayland/wayland_backend.h"
#include "platform/window.h"
#include "tests/contract/platform_contract.h"

namespace platform::contract {
namespace {

void runWayland(Platform& /*backend*/, double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000.0), &loop, &QEventLoop::quit);
  loop.exec();
}

// A window of a process of its own, which sway focuses as it opens.
OtherApplication openOtherWayland(Platform& /*backend*/) {
  std::shared_ptr<QProcess> process(new QProcess, [](QProcess* p) {
    p->kill();
    p->waitForFinished();
    delete p;
  });
  process->start(QStringLiteral(QUILLMERE_WAYLAND_TEST_WINDOW),
                 {QStringLiteral("other"), QStringLiteral("#336699")});
  if (!process->waitForStarted()) return {};
  return {static_cast<ProcessId>(process->processId()), process};
}

INSTANTIATE_TEST_SUITE_P(Wayland, PlatformContractTest,
                         ::testing::Values(ContractBackend{"wayland", wayland::makeWaylandPlatform,
                                                           runWayland, openOtherWayland}),
                         [](const auto& info) { return info.param.name; });

// The layer-shell probe: test_entry_point.py, which falls back to X11 without it.

// A quiet list is handed out again without being rebuilt (overlays listed last, below every
// window: test_overlays.py).
TEST(WaylandBackend, AQuietListIsNotRebuilt) {
  installPlatform(wayland::makeWaylandPlatform());
  auto window = Window::create(currentPlatform().screenFrames().at(0), kWindowStyleMaskBorderless,
                               BackingStoreType::buffered, false);
  window->setLevel(-1);
  window->orderFront();
  runWayland(currentPlatform(), 0.2);
  const auto list = copyWindowInfo(17, kNullWindowId);
  ASSERT_NE(list, nullptr);
  ASSERT_FALSE(list->empty());
  EXPECT_EQ(copyWindowInfo(17, kNullWindowId), list) << "nothing changed";
  window->setAlphaValue(0.5);
  const auto changed = copyWindowInfo(17, kNullWindowId);
  EXPECT_NE(changed, list);
  EXPECT_EQ(changed->back().at(std::string(kWindowAlphaKey)), WindowInfoValue{0.5});

  window.reset();
  installPlatform(nullptr);
}

}  // namespace
}  // namespace platform::contract

// The backend needs Qt's event loop only; without a GUI application Qt opens no Wayland
// connection of its own, so the leak check sees ours alone.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
