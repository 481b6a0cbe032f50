// Percent-encoding of a query value.
#pragma once

#include "text/text.h"

namespace tessevin {

// Every byte becomes "%" and two upper-case hexadecimal digits, except that with
// `keep_safe` the bytes "-", ".", 0-9, A-Z and a-z stay as they are. With `to_utf8`
// the text is first converted from code page 936 to UTF-8, so the UTF-8 bytes are
// encoded. The underscore, tilde, slash and space are always encoded (never "+").
//   url_encode("a-b_c d", true)              == "a-b%5Fc%20d"
//   url_encode("\xD6\xD0" /* 中 */, true, true) == "%E4%B8%AD"
[[nodiscard]] Text url_encode(const Text& text, bool keep_safe = false, bool to_utf8 = false);

}  // namespace tessevin
