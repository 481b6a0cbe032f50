// extract_between against the marker rule written out on the plain searches, and the
// cut is always a piece of the source.
//
// Input: start (two bytes), then the source, the left marker and the right marker,
// separated by zero bytes. Markers may hold the quote token.
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "support/text_reference.h"
#include "text/extract.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  using fuzz::check;
  using fuzz::shown;
  fuzz::Input in(data, size);
  const int start = in.number();
  const Text source(in.field());
  const Text left(in.field());
  const Text right(in.field());

  for (const std::optional<int> s : {std::optional<int>(), std::optional<int>(start)}) {
    for (const bool folded : {false, true}) {
      const Text got = extract_between(source, left, right, s, folded);
      const std::string want =
          testing::reference_extract(source.view(), left.view(), right.view(), s, folded);
      const auto describe = [&] {
        return "extract_between(" + shown(source.view()) + ", " + shown(left.view()) + ", " +
               shown(right.view()) + ", " + shown(s) + ", " + (folded ? "folded" : "exact") +
               ") gave " + shown(got.view()) + ", want " + shown(want);
      };
      check(got.view() == want, describe);
      check(fuzz::is_substring(got.view(), source.view()), describe);
    }
  }
  return 0;
}
