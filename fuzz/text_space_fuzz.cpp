// trim_both, remove_all_spaces, to_int and to_lower against the plain rules.
//
// Input: the text (up to the first zero byte, as a Text is made from bytes).
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "support/text_reference.h"
#include "text/text.h"

namespace {

// A-Z that begin a character become a-z; second bytes stay.
std::string reference_to_lower(std::string_view t) {
  std::string out(t);
  for (std::size_t p = 0; p < out.size(); p += tessevin::testing::is_high(out[p]) ? 2 : 1) {
    if (out[p] >= 'A' && out[p] <= 'Z') out[p] = static_cast<char>(out[p] + 0x20);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  using fuzz::check;
  using fuzz::shown;
  const Text text(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string_view t = text.view();

  const Text trimmed = trim_both(text);
  const std::string want_trimmed = testing::reference_trim(t);
  check(trimmed.view() == want_trimmed, [&] {
    return "trim_both(" + shown(t) + ") gave " + shown(trimmed.view()) + ", want " +
           shown(want_trimmed);
  });

  const Text removed = remove_all_spaces(text);
  const std::string want_removed = testing::reference_remove_spaces(t);
  check(removed.view() == want_removed, [&] {
    return "remove_all_spaces(" + shown(t) + ") gave " + shown(removed.view()) + ", want " +
           shown(want_removed);
  });

  const int number = to_int(text);
  const int want_number = testing::reference_to_int(t);
  check(number == want_number, [&] {
    return "to_int(" + shown(t) + ") gave " + std::to_string(number) + ", want " +
           std::to_string(want_number);
  });

  const Text lowered = to_lower(text);
  const std::string want_lowered = reference_to_lower(t);
  check(lowered.view() == want_lowered, [&] {
    return "to_lower(" + shown(t) + ") gave " + shown(lowered.view()) + ", want " +
           shown(want_lowered);
  });
  return 0;
}
