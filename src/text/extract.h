// Cutting a value out of a larger text by the markers that stand around it.
#pragma once

#include <optional>

#include "text/text.h"

namespace tessevin {

// Inside a marker this token stands for one double quote (0x22): "#引号" in GBK.
inline constexpr const char* quote_token = "#\xD2\xFD\xBA\xC5";

// The text between the first `left_marker` at or after `start` and the first
// `right_marker` that begins after it; the empty text when either is missing.
// Quote tokens in the markers (never in `source`) are read as '"'.
//   extract_between("a[b]c", "[", "]")     == "b"
//   extract_between("[1][2]", "[", "]")    == "1"
//   extract_between("c]a[b", "[", "]")     == ""
[[nodiscard]] Text extract_between(const Text& source, const Text& left_marker,
                                   const Text& right_marker,
                                   std::optional<int> start = std::nullopt,
                                   bool case_insensitive = false);

}  // namespace tessevin
