#include "app/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/qt_text.h"

namespace tessevin::app {

namespace {

BoxHook& hook() {
  static BoxHook current;
  return current;
}

bool boxes_to_stderr() {
  const char* mode = std::getenv("TESSEVIN_TEST_BOXES");
  return mode != nullptr && std::strcmp(mode, "stderr") == 0;
}

std::string one_line(const Text& gbk) {
  std::string out;
  const Text utf8 = ansi_to_utf8(gbk);
  for (char c : utf8.view()) {
    if (c == '\r') continue;
    if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void set_box_hook(BoxHook new_hook) { hook() = std::move(new_hook); }

void show_box(const Text& caption, const Text& text, BoxIcon icon) {
  if (hook()) {
    hook()(caption, text, icon);
    return;
  }
  if (boxes_to_stderr()) {
    std::fprintf(stderr, "box|%s|%s\n", one_line(caption).c_str(), one_line(text).c_str());
    std::fflush(stderr);
    return;
  }
  // No owner: the box is a window of its own, and application-modal like a task-modal
  // box, so every window of the program waits until it is closed.
  QMessageBox box(icon == BoxIcon::error ? QMessageBox::Critical : QMessageBox::NoIcon,
                  to_qstring(caption), to_qstring(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace tessevin::app
