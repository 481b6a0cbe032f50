// Conversions between code pages, always through UTF-16 ("wide text").
//
// A wide text is a Bytes of UTF-16 units, low byte first. One made by to_wide ends with
// a zero unit inside its Bytes and may carry more zero units after it; from_wide reads
// up to the first zero unit or the end of the Bytes.
//
// Code pages: 0 is the ANSI code page (936 here), 936 is GBK, 65001 is UTF-8.
#pragma once

#include <optional>

#include "text/text.h"

namespace tessevin {

// The text read in `code_page` (left out: UTF-8) as a wide text. Its length is twice
// the unit count the text needs read in the ANSI code page, terminator included, or in
// `code_page` when that needs more, so the conversion is never cut short.
//   to_wide(Text("\xE4\xB8\xAD")) == the units 4E2D 0000 0000 (bytes 2D 4E 00 00 00 00)
[[nodiscard]] Bytes to_wide(const Text& text, std::optional<int> code_page = std::nullopt);

// The wide text written in `code_page` (left out: the ANSI code page). A character the
// code page lacks becomes '?'.
[[nodiscard]] Text from_wide(const Bytes& wide, std::optional<int> code_page = std::nullopt);

// Code page 936 to UTF-8 bytes (held in a Text), and back.
//   ansi_to_utf8(Text("\xD6\xD0")) == "\xE4\xB8\xAD"  (中)
[[nodiscard]] Text ansi_to_utf8(const Text& text);
[[nodiscard]] Text utf8_to_ansi(const Text& text);

}  // namespace tessevin
