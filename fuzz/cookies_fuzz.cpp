// merge_cookies on arbitrary jars and received cookies.
//
// Input: the jar, a zero byte, the received cookies. Properties:
// - no entry of the merged jar ends in "=deleted", and no entry stands in it twice;
// - both variables are rewritten as promised: the jar with the merged string (also
//   returned), the received cookies with their spaces removed;
// - the merged string is what the merge rule, written out on the plain text rules,
//   gives.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fuzz_input.h"
#include "support/text_reference.h"
#include "text/text.h"
#include "web/cookies.h"

namespace {

using namespace tessevin::testing;

std::string without_last(std::string s, std::size_t n) {
  s.resize(s.size() > n ? s.size() - n : 0);
  return s;
}

bool is_deleted(std::string_view entry) {
  constexpr std::string_view mark = "=deleted";
  return entry.size() >= mark.size() && entry.substr(entry.size() - mark.size()) == mark;
}

std::string name_of(std::string_view entry) {
  const int equals = reference_find(entry, "=", std::nullopt, false);
  return reference_trim(equals == -1 ? entry
                                     : entry.substr(0, static_cast<std::size_t>(equals - 1)));
}

// The merge step by step: received entries, then old entries whose name is not yet
// in the list, deleted ones dropped, joined by "; ", repeated entries left out.
std::string reference_merge(std::string_view cookies, std::string_view received) {
  const auto old = reference_split(reference_remove_spaces(cookies), ";", std::nullopt);
  auto merged = reference_split(reference_remove_spaces(received), ";", std::nullopt);
  std::unordered_set<std::string> names;
  for (const auto& m : merged) names.insert(name_of(m));
  for (const auto& e : old) {
    if (names.insert(name_of(e)).second) merged.push_back(e);
  }
  std::string joined;
  for (const auto& m : merged) {
    if (!is_deleted(m)) joined += m + "; ";
  }
  std::unordered_set<std::string> kept;
  std::string out;
  for (const auto& part : reference_split(without_last(joined, 2), "; ", std::nullopt)) {
    if (kept.insert(part).second) out += part + "; ";
  }
  return without_last(out, 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  using fuzz::check;
  using fuzz::shown;
  fuzz::Input in(data, size);
  const Text jar(in.field());
  const Text arrived(in.field());

  Text cookies = jar;
  Text received = arrived;
  const Text merged = merge_cookies(cookies, received);
  const auto describe = [&](const char* what) {
    return std::string(what) + ": merge_cookies(" + shown(jar.view()) + ", " +
           shown(arrived.view()) + ") gave " + shown(merged.view()) + ", the jar " +
           shown(cookies.view()) + ", the received cookies " + shown(received.view());
  };

  check(text_equal(merged, cookies), [&] { return describe("the returned copy differs"); });
  check(received.view() == reference_remove_spaces(arrived.view()),
        [&] { return describe("the received cookies were not rewritten without spaces"); });

  std::unordered_set<std::string> seen;
  for (const auto& entry : reference_split(merged.view(), "; ", std::nullopt)) {
    check(!is_deleted(entry), [&] { return describe("a deleted entry stayed"); });
    check(seen.insert(entry).second, [&] { return describe("an entry stands twice"); });
  }

  const std::string want = reference_merge(jar.view(), arrived.view());
  check(merged.view() == want,
        [&] { return describe("the merge differs from the rule") + ", want " + shown(want); });
  return 0;
}
