// The peer of the start-up benchmark: the least a Qt 6 Widgets program does to show
// a 475 x 292 window, quitting as soon as it is shown (as the program does when the
// start-up benchmark asks it to).
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(475, 292);
  window.show();
  QTimer::singleShot(0, &app, &QCoreApplication::quit);
  return app.exec();
}
