#include "text/extract.h"

namespace tessevin {

namespace {

Text unquote(const Text& marker) { return replace_text(marker, quote_token, "\"", {}, {}, true); }

}  // namespace

Text extract_between(const Text& source, const Text& left_marker, const Text& right_marker,
                     std::optional<int> start, bool case_insensitive) {
  const Text left = unquote(left_marker);
  const Text right = unquote(right_marker);
  int p = find_text(source, left, start.value_or(0), case_insensitive);
  if (p == -1) return Text();
  p += text_length(left);
  const int q = find_text(source, right, p, case_insensitive);
  if (q == -1) return Text();
  return text_mid(source, p, q - p);
}

}  // namespace tessevin
