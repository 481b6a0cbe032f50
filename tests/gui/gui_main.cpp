// The one main of the GUI test programs: a QApplication on the offscreen platform
// for every test in the program, created after GoogleTest has taken its flags.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

namespace {

QtMessageHandler qt_default_handler = nullptr;

// The offscreen platform says so each time a window asks for what it cannot do
// (raise, grab the keyboard); that is expected here and only hides real warnings.
void quiet_offscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("This plugin does not support"))) return;
  qt_default_handler(type, context, message);
}

}  // namespace

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

  qt_default_handler = qInstallMessageHandler(quiet_offscreen);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
