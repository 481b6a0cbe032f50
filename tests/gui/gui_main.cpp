// The one main of the GUI test programs: a QApplication on the offscreen platform
// for every test in the program, created after GoogleTest has taken its flags.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests (CTest's discovery at build time) needs no windows.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

  // CTest sets both; these defaults keep a test program run by hand off the desktop
  // and Qt quiet about a missing runtime folder.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::optional<QTemporaryDir> runtime_dir;
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    runtime_dir.emplace();
    if (runtime_dir->isValid()) qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_dir->path()));
  }

  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
