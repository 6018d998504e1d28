// Test main for libraries without widgets: a QCoreApplication gives the
// event loop that timers, sockets and queued calls need.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::unique_ptr<QCoreApplication> app;
  // The test lister runs at build time; it needs no application.
  if (!GTEST_FLAG_GET(list_tests)) app = std::make_unique<QCoreApplication>(argc, argv);
  return RUN_ALL_TESTS();
}
