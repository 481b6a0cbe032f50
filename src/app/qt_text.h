// The window holds code page 936 Texts like the rest of the program and turns them
// into Qt strings only at the moment of drawing, through the code-page layer.
#pragma once

#include <QString>

#include "text/convert.h"
#include "text/text.h"

namespace tessevin::app {

[[nodiscard]] inline QString to_qstring(const Text& gbk) {
  const Text utf8 = ansi_to_utf8(gbk);
  return QString::fromUtf8(utf8.view().data(), static_cast<qsizetype>(utf8.size()));
}

// Characters code page 936 lacks become '?'; a zero character ends the text.
[[nodiscard]] inline Text from_qstring(const QString& s) {
  const QByteArray utf8 = s.toUtf8();
  return utf8_to_ansi(
      Text(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))));
}

// For the program's own literals, written readably in UTF-8 in the source.
[[nodiscard]] inline Text gbk_literal(const char* utf8) { return utf8_to_ansi(Text(utf8)); }

}  // namespace tessevin::app
