#include "web/cookies.h"

#include <string>
#include <unordered_set>

namespace tessevin {

namespace {

// Drops the separator that joining left after the last entry.
Text without_trailing(const Text& joined, int separator_length) {
  return text_left(joined, text_length(joined) - separator_length);
}

}  // namespace

Text merge_cookies(Text& cookies, Text& received_cookies) {
  cookies = remove_all_spaces(cookies);
  received_cookies = remove_all_spaces(received_cookies);
  const TextList old = split_text(cookies, ";");
  TextList merged = split_text(received_cookies, ";");
  // Only old entries are filtered by name, against the list as it grows: of several
  // old entries with one name only the first is taken over. (A set of the names in
  // the list answers what has_cookie_name would, without a walk per entry.)
  std::unordered_set<std::string> names;
  for (int i = 1; i <= merged.count(); ++i) names.insert(cookie_name(merged.at(i)).str());
  for (int i = 1; i <= old.count(); ++i) {
    if (names.insert(cookie_name(old.at(i)).str()).second) merged.append(old.at(i));
  }
  Text joined;
  for (int i = 1; i <= merged.count(); ++i) {
    const Text& entry = merged.at(i);
    if (text_equal(text_right(entry, 8), "=deleted")) continue;
    joined.append(entry).append("; ");
  }
  cookies = drop_duplicate_entries(without_trailing(joined, 2), "; ");
  return cookies;
}

Text cookie_name(const Text& entry) {
  const int equals = find_text(entry, "=");
  return trim_both(equals == -1 ? entry : text_left(entry, equals - 1));
}

bool has_cookie_name(const TextList& list, const Text& name) {
  for (int i = 1; i <= list.count(); ++i) {
    if (text_equal(cookie_name(list.at(i)), name)) return true;
  }
  return false;
}

Text drop_duplicate_entries(const Text& text, const Text& separator) {
  const TextList parts = split_text(text, separator);
  // The entries kept so far, as a set: the same answer as entry_index on a list of
  // them, in linear time however many entries a server sends.
  std::unordered_set<std::string_view> kept;
  Text out;
  for (int i = 1; i <= parts.count(); ++i) {
    if (!kept.insert(parts.at(i).view()).second) continue;
    out.append(parts.at(i)).append(separator);
  }
  return without_trailing(out, text_length(separator));
}

int entry_index(const TextList& list, const Text& text) {
  for (int i = 1; i <= list.count(); ++i) {
    if (text_equal(list.at(i), text)) return i;
  }
  return -1;
}

}  // namespace tessevin
