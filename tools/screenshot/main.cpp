// tessevin-screenshot HOST:PORT OUTPUT.png [NAME]
//
// Builds the program's real main window with its skin, points it at the statistics
// service at HOST:PORT, chooses 艾欧尼亚, types NAME (default 寒江孤影, a player of the
// demo service), presses 查询 and saves the window's picture as a PNG. Fails (exit 1)
// when the lookup showed no figures, so a broken picture is never saved silently.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>

#include "app/engine.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/qt_text.h"

namespace {

using tessevin::Text;
using tessevin::app::MainWindow;
using tessevin::app::PlainLabel;

template <typename Widget>
Widget* control(MainWindow& window, const char* name) {
  auto* found = dynamic_cast<Widget*>(window.findChild<QWidget*>(QLatin1String(name)));
  if (found == nullptr) {
    std::fprintf(stderr, "tessevin-screenshot: the window has no %s\n", name);
    std::exit(1);
  }
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: tessevin-screenshot HOST:PORT OUTPUT.png [NAME]\n");
    return 2;
  }
  QApplication app(argc, argv);
  const QString output = QString::fromLocal8Bit(argv[2]);
  const QString name = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString::fromUtf8("寒江孤影");

  // A message box would wait for a person; say what it said and carry on.
  tessevin::app::set_box_hook([](const Text&, const Text& text, tessevin::app::BoxIcon) {
    std::fprintf(stderr, "tessevin-screenshot: the window said \"%s\"\n",
                 tessevin::ansi_to_utf8(text).str().c_str());
  });

  // The program's own start: skin first, then the window, then its created event.
  tessevin::app::deploy_skin();
  MainWindow window;
  tessevin::app::on_main_window_created();
  window.set_stats_host(Text(argv[1]));
  window.show_centred();

  auto* regions = control<QComboBox>(window, "region_list");
  regions->setCurrentIndex(regions->findText(QString::fromUtf8("艾欧尼亚")));
  control<QLineEdit>(window, "name_box")->setText(name);
  control<QPushButton>(window, "query_button")->click();
  QApplication::processEvents();

  int status = 0;
  if (control<PlainLabel>(window, "level_label")->caption().empty()) {
    std::fprintf(stderr, "tessevin-screenshot: the lookup showed no figures (is %s serving?)\n",
                 argv[1]);
    status = 1;
  } else if (!window.grab().toImage().save(output, "PNG")) {
    std::fprintf(stderr, "tessevin-screenshot: cannot write %s\n", argv[2]);
    status = 1;
  }
  window.close();
  tessevin::app::release_engine();
  return status;
}
