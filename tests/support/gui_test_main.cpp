// Test main for widget tests: a QApplication, on the offscreen platform
// unless a display was chosen on purpose.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::unique_ptr<QApplication> app;
  if (!GTEST_FLAG_GET(list_tests)) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // As the program does: a web view made later shares its contexts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    app = std::make_unique<QApplication>(argc, argv);
  }
  return RUN_ALL_TESTS();
}
