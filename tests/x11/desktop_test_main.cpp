// The launcher of the X11 desktop tests. Everything runs on an Xvfb of this program's own, with
// openbox unless --no-wm is given; this process's Qt and every program it starts see only
// the private environment, so the inherited display, bus and settings are never used. Fixtures
// that need a screen of another size or their own monitors start one more display themselves.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstring>

#include "private_display.h"
#include "test_desktop.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests))
    return RUN_ALL_TESTS();  // the build lists them, without a desktop
  const bool windowManager = argc < 2 || std::strcmp(argv[1], "--no-wm") != 0;
  quillmere::test::PrivateDisplay display(1280, 800);
  if (!display.running()) {
    std::fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }
  display.applyEnvironmentToThisProcess();
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication application(qtArgc, qtArgv);
  if (windowManager && !quillmere::test::startWindowManager(display)) {
    std::fprintf(stderr, "openbox did not start\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
