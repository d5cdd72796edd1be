// main() for GoogleTest programs that test windows: the QApplication must
// exist before the first widget and be destroyed before the program's static
// objects, so it lives on main's stack.

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Window tests run headless unless told otherwise (also when CMake lists them at build time).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
