// Test main for the window suites: a QApplication on the offscreen platform, the message pump,
// and a settings folder of its own that is removed afterwards.
#include "Messages.h"
#include "TempDir.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
  // Also when ctest only lists the tests, which it does without the tests' environment.
  if (!std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TTempDir config;
  setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  QApplication app(argc, argv);
  plat::InstallQtMessagePump();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
