// replace_text and split_text against the plain stepping rule.
//
// Input: start and count (two bytes each), then the text, the target (also the
// separator) and the replacement, separated by zero bytes. Every optional argument is
// tried left out and given, and both senses of the case flag.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "support/text_reference.h"
#include "text/text.h"

namespace tessevin {
namespace {

using fuzz::check;
using fuzz::shown;

std::vector<std::string> members(const TextList& list) {
  std::vector<std::string> out;
  for (int i = 1; i <= list.count(); ++i) out.push_back(list.at(i).str());
  return out;
}

}  // namespace
}  // namespace tessevin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  fuzz::Input in(data, size);
  const int start = in.number();
  const int count = in.number();
  const Text text(in.field());
  const Text target(in.field());
  const Text replacement(in.field());
  const std::optional<int> starts[] = {std::nullopt, start};
  const std::optional<int> counts[] = {std::nullopt, count};

  for (const std::optional<int> s : starts) {
    for (const std::optional<int> n : counts) {
      for (const bool exact : {false, true}) {
        for (const bool with_replacement : {false, true}) {
          const std::optional<Text> r =
              with_replacement ? std::optional<Text>(replacement) : std::nullopt;
          const Text got = replace_text(text, target, r, s, n, exact);
          const std::string want = testing::reference_replace(
              text.view(), target.view(), with_replacement ? replacement.view() : "", s, n, exact);
          check(got.view() == want, [&] {
            return "replace_text(" + shown(text.view()) + ", " + shown(target.view()) + ", " +
                   (r ? shown(r->view()) : "(left out)") + ", " + shown(s) + ", " + shown(n) +
                   ", " + (exact ? "exact" : "folded") + ") gave " + shown(got.view()) + ", want " +
                   shown(want);
          });
        }
      }
    }
  }

  for (const bool with_separator : {false, true}) {
    for (const std::optional<int> n : counts) {
      const std::optional<Text> separator =
          with_separator ? std::optional<Text>(target) : std::nullopt;
      const std::vector<std::string> got = members(split_text(text, separator, n));
      const std::vector<std::string> want = testing::reference_split(
          text.view(), with_separator ? std::optional<std::string>(target.str()) : std::nullopt, n);
      check(got == want, [&] {
        return "split_text(" + shown(text.view()) + ", " +
               (separator ? shown(separator->view()) : "(left out)") + ", " + shown(n) + ") gave " +
               shown(got) + ", want " + shown(want);
      });
    }
  }
  return 0;
}
