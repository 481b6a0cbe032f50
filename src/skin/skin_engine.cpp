#include "skin/skin_engine.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "skin/skin_file.h"

namespace tessevin::skin {

namespace {

// Plain values only (see the header): nothing here needs the library's code to be
// torn down.
struct Attached {
  bool present = false;
  Skin skin;
  int tint_strength = 0;
  int radius = 0;
};

Attached& attached() {
  static Attached state;
  return state;
}

QApplication* application() { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

// The whole file, or nothing when it cannot be read or is larger than any skin.
std::optional<std::string> read_skin_file(const char* path) {
  if (path == nullptr || path[0] == '\0') return std::nullopt;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return std::nullopt;
  std::string content(max_skin_file_size + 1, '\0');
  const std::size_t n = std::fread(content.data(), 1, content.size(), file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed || n > max_skin_file_size) return std::nullopt;
  content.resize(n);
  return content;
}

QColor colour(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

// `over` laid on `under` with strength/255 of its weight.
QColor blend(std::uint32_t under, std::uint32_t over, int strength) {
  const auto channel = [&](int shift) {
    const int a = static_cast<int>(under >> shift & 0xFF);
    const int b = static_cast<int>(over >> shift & 0xFF);
    return a + ((b - a) * strength + (b >= a ? 127 : -127)) / 255;
  };
  return QColor(channel(16), channel(8), channel(0));
}

QString css(std::uint32_t rgb) { return colour(rgb).name(); }

QPalette palette_for(const Skin& skin, const QColor& window) {
  QPalette p(window, window);  // derives the light and dark shades the style draws with
  const QColor text = colour(skin.text);
  // Set for every colour group: a disabled label still reads like the others.
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::Button, window);  // the face that hand-drawn controls fill with
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::Base, colour(skin.base));
  p.setColor(QPalette::AlternateBase, colour(skin.base));
  p.setColor(QPalette::ToolTipBase, colour(skin.base));
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::Highlight, colour(skin.highlight));
  p.setColor(QPalette::HighlightedText, colour(skin.highlight_text));
  p.setColor(QPalette::Mid, colour(skin.border));
  p.setColor(QPalette::PlaceholderText, colour(skin.border));
  p.setColor(QPalette::Disabled, QPalette::Text, colour(skin.border));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, colour(skin.border));
  return p;
}

QString style_sheet_for(const Skin& skin, int radius) {
  const QString r = QString::number(radius) + QString::fromLatin1("px");
  const QString text = css(skin.text), base = css(skin.base), border = css(skin.border),
                highlight = css(skin.highlight), highlight_text = css(skin.highlight_text);
  QString sheet;
  const auto add = [&sheet](const char* selector, const QString& body) {
    sheet += QString::fromLatin1(selector) + QString::fromLatin1(" { ") + body +
             QString::fromLatin1(" }\n");
  };
  const auto rule = [](const char* property, const QString& value) {
    return QString::fromLatin1(property) + QString::fromLatin1(": ") + value +
           QString::fromLatin1("; ");
  };
  const QString frame =
      rule("border", QString::fromLatin1("1px solid ") + border) + rule("border-radius", r);
  add("QPushButton", rule("color", text) + rule("background-color", css(skin.button)) + frame +
                         rule("padding", QString::fromLatin1("1px 6px")));
  add("QPushButton:hover",
      rule("background-color", css(skin.button_hover)) + rule("border-color", highlight));
  add("QPushButton:pressed", rule("background-color", css(skin.button_pressed)));
  add("QPushButton:disabled", rule("color", border));
  add("QLineEdit, QComboBox", rule("color", text) + rule("background-color", base) + frame +
                                  rule("padding", QString::fromLatin1("0px 2px")) +
                                  rule("selection-background-color", highlight) +
                                  rule("selection-color", highlight_text));
  add("QLineEdit:focus, QComboBox:focus, QComboBox:on", rule("border-color", highlight));
  add("QComboBox QAbstractItemView",
      rule("color", text) + rule("background-color", base) +
          rule("border", QString::fromLatin1("1px solid ") + border) +
          rule("selection-background-color", highlight) + rule("selection-color", highlight_text));
  add("QGroupBox", frame);
  return sheet;
}

void apply(QApplication* app, const Attached& state) {
  const QColor window = blend(state.skin.window, state.skin.tint, state.tint_strength);
  QApplication::setPalette(palette_for(state.skin, window));
  app->setStyleSheet(style_sheet_for(state.skin, state.radius));
}

}  // namespace

}  // namespace tessevin::skin

using namespace tessevin::skin;

int SkinH_AttachEx(const char* skin_path, const char* /*password*/) {
  QApplication* app = application();
  if (app == nullptr) return 1;
  const std::optional<std::string> file = read_skin_file(skin_path);
  if (!file) return 2;
  const std::optional<Skin> skin = parse_skin(*file);
  if (!skin) return 3;

  Attached& state = attached();
  state = Attached{true, *skin, 0, skin->radius};
  QApplication::setStyle(QString::fromLatin1("Fusion"));  // first: it resets the palette
  QFont font = QApplication::font();
  font.setPointSize(skin->font_size);
  QApplication::setFont(font);
  apply(app, state);
  return 0;
}

int SkinH_AdjustAero(int tint, int /*shade*/, int /*sharp*/, int radius, int /*reserved4*/,
                     int /*reserved5*/, int /*reserved6*/, int /*reserved7*/, int /*reserved8*/) {
  QApplication* app = application();
  Attached& state = attached();
  if (app == nullptr || !state.present) return 1;
  state.tint_strength = std::clamp(tint, 0, 255);
  state.radius = std::clamp(radius, 0, max_radius);
  apply(app, state);
  return 0;
}
