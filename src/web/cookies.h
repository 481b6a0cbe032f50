// A cookie jar held as one text: "name=value" entries separated by "; ". A caller
// that keeps its own jar gets the server's cookies merged into it after a request.
#pragma once

#include "text/text.h"

namespace tessevin {

// Merges `received_cookies` into `cookies`: received entries first (in their order),
// then old entries whose names were not yet present; entries ending in "=deleted"
// are dropped, and an entry repeated with exactly the same text is kept once.
// Spaces are removed from both inputs first, and both variables are rewritten:
// `cookies` with the merged jar, `received_cookies` without its spaces.
// Returns a copy of the merged jar.
//   cookies "a=1; b=2", received "b=3"  ->  "b=3; a=1"
Text merge_cookies(Text& cookies, Text& received_cookies);

// The entry's name: the trimmed text before its first "=", or the whole trimmed entry.
[[nodiscard]] Text cookie_name(const Text& entry);

// Whether some entry of `list` has exactly this name (case matters).
[[nodiscard]] bool has_cookie_name(const TextList& list, const Text& name);

// `text` split at `separator`, every repeated entry left out, joined again.
[[nodiscard]] Text drop_duplicate_entries(const Text& text, const Text& separator);

// 1-based position of the first entry equal to `text`, or -1.
[[nodiscard]] int entry_index(const TextList& list, const Text& text);

}  // namespace tessevin
