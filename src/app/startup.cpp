#include "app/startup.h"

#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/engine.h"
#include "app/main_window.h"
#include "app/qt_text.h"

namespace tessevin::app {

namespace {

// Null when the window cannot be built.
std::unique_ptr<MainWindow> create_main_window() {
  try {
    return std::make_unique<MainWindow>();
  } catch (...) {
    return nullptr;
  }
}

// The test seams of startup.h; nothing happens unless the variable is set.
void follow_test_seams(QApplication& app) {
  const char* quit = std::getenv("TESSEVIN_TEST_QUIT_AFTER_SHOW");
  if (quit == nullptr) return;
  std::fputs("window|shown\n", stderr);
  std::fflush(stderr);
  if (std::strcmp(quit, "stdin") != 0) {
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return;
  }
  auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
  QObject::connect(input, &QSocketNotifier::activated, &app, [&app, input] {
    char buffer[256];
    if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
      input->setEnabled(false);
      app.quit();
    }
  });
}

}  // namespace

int start_program(int argc, char** argv) {
  QApplication app(argc, argv);

  // The skin goes on before any window exists, so every window is built with it.
  deploy_skin();

  std::unique_ptr<MainWindow> window = create_main_window();
  if (!window) report_fatal_error(gbk_literal("载入启动窗口失败"), 0);
  // Every control exists and the window is still hidden: its created event.
  on_main_window_created();
  window->show_centred();
  follow_test_seams(app);

  // Closing the window closes the program's last window, which ends the loop.
  app.exec();

  window.reset();
  release_engine();
  return 0;
}

}  // namespace tessevin::app
