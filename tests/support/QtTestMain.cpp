// Test main for the window suites: a QApplication on the offscreen platform, the message pump,
// and a settings and home folder of its own that is removed afterwards.
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
  // The default output folder is made in the home folder: not in the user's own.
  setenv("HOME", config.Path().c_str(), 1);
  QApplication app(argc, argv);
  plat::InstallQtMessagePump();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// Qt is not built with ThreadSanitizer and its mutexes are futexes the tool cannot see: of
// the work of Qt's own threads (its painting pool) only the allocations and copies made
// through the C library show, and an event posted from a worker thread seems to be freed on
// the user-interface thread without any hand-over. Both would be reported as races. The same
// holds for the GLib main loops that Qt's threads run.
extern "C" const char *__tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libglib-2.0.so.0\n"
         "race:QMetaCallEvent::~QMetaCallEvent\n";
}
