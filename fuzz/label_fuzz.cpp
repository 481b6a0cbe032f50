// The window's label drawing with arbitrary bytes as its caption: a PlainLabel of some
// size, font and alignment is rendered into a picture with a margin around it. Nothing
// may crash, the caption is kept as given, and no pixel outside the label changes.
//
// Input: style (alignment, bold), width, height and point size, one byte each, then
// the caption (up to the first zero byte, as a Text is made from bytes).
#include <QApplication>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <cstdlib>
#include <string>

#include "app/main_window.h"
#include "fuzz_input.h"
#include "text/text.h"

namespace {

// Made once for the whole run, and kept to its end.
QApplication* application = nullptr;

constexpr int kMargin = 6;
// A colour no label paints: the picture is filled with it before the label is drawn.
const QRgb kUntouched = qRgb(1, 254, 3);

}  // namespace

// Qt's fontconfig font engines lose some of the match patterns fontconfig makes for
// their fallback fonts (QFontEngineMultiFontConfig::getMatchPatternForFallback), and a
// fuzzer asks for far more fonts than the window ever does. Nothing of ours is
// allocated inside fontconfig, so its allocations are left out of the leak report.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int qt_argc = 1;
  static char* qt_argv[] = {(*argv)[0], nullptr};
  (void)argc;
  application = new QApplication(qt_argc, qt_argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  using fuzz::check;
  using fuzz::shown;
  fuzz::Input in(data, size);
  static const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
  const std::uint8_t style = in.byte();
  const Qt::Alignment alignment = alignments[style % 3];
  const int width = 1 + in.byte() % 200;
  const int height = 1 + in.byte() % 48;
  const int points = 6 + in.byte() % 24;
  const Text caption(in.rest());

  app::PlainLabel label(nullptr, Text(), alignment);
  label.set_caption(caption);
  QFont font = label.font();
  font.setPointSize(points);
  font.setBold((style & 4) != 0);
  label.setFont(font);
  label.set_text_colour(QColor(255, 0, 0));
  label.resize(width, height);

  QImage picture(width + 2 * kMargin, height + 2 * kMargin, QImage::Format_RGB32);
  picture.fill(kUntouched);
  label.render(&picture, QPoint(kMargin, kMargin));

  const auto describe = [&](const std::string& what) {
    return what + " for the caption " + shown(caption.view()) + " in a " + std::to_string(width) +
           "x" + std::to_string(height) + " label";
  };
  check(text_equal(label.caption(), caption), [&] { return describe("the caption changed"); });
  bool painted = false;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const bool inside =
          x >= kMargin && x < kMargin + width && y >= kMargin && y < kMargin + height;
      const bool untouched = picture.pixel(x, y) == kUntouched;
      if (inside) {
        painted = painted || !untouched;
      } else {
        check(untouched, [&] {
          return describe("the pixel at " + std::to_string(x - kMargin) + "," +
                          std::to_string(y - kMargin) + " outside the label changed");
        });
      }
    }
  }
  check(painted, [&] { return describe("nothing was painted"); });
  return 0;
}
