// The tests that talk to the display through Qt need an application object on xcb.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "xcb");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  return RUN_ALL_TESTS();
}
