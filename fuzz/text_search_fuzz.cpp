// find_text and find_text_reverse against the plain stepping rule.
//
// Input: start (two bytes), then the text, a zero byte, and the needle. Every call is
// made with the start left out and given, exact and folded; then each search is
// walked from occurrence to occurrence, as callers do, with the result of one step
// as the start of the next.
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "support/text_reference.h"
#include "text/text.h"

namespace tessevin {
namespace {

using fuzz::check;
using fuzz::shown;

// Enough steps to go through several occurrences without making long inputs slow.
constexpr int kWalkSteps = 32;

std::string describe(const char* what, std::string_view t, std::string_view needle,
                     std::optional<int> start, bool folded, int got, int want) {
  return std::string(what) + "(" + shown(t) + ", " + shown(needle) + ", " + shown(start) + ", " +
         (folded ? "folded" : "exact") + ") gave " + std::to_string(got) + ", want " +
         std::to_string(want);
}

void check_forward(const Text& text, const Text& needle, std::optional<int> start, bool folded) {
  const int got = find_text(text, needle, start, folded);
  const int want = testing::reference_find(text.view(), needle.view(), start, folded);
  check(got == want, [&] {
    return describe("find_text", text.view(), needle.view(), start, folded, got, want);
  });
}

void check_backward(const Text& text, const Text& needle, std::optional<int> start, bool folded) {
  const int got = find_text_reverse(text, needle, start, folded);
  const int want = testing::reference_find_reverse(text.view(), needle.view(), start, folded);
  check(got == want, [&] {
    return describe("find_text_reverse", text.view(), needle.view(), start, folded, got, want);
  });
}

}  // namespace
}  // namespace tessevin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  fuzz::Input in(data, size);
  const int start = in.number();
  const Text text(in.field());
  const Text needle(in.field());

  for (const bool folded : {false, true}) {
    for (const std::optional<int> s : {std::optional<int>(), std::optional<int>(start)}) {
      check_forward(text, needle, s, folded);
      check_backward(text, needle, s, folded);
    }
    // From one occurrence to the next, and from one to the one before it.
    int at = find_text(text, needle, {}, folded);
    for (int step = 0; step < kWalkSteps && at != -1 && at < INT_MAX; ++step) {
      check_forward(text, needle, at + 1, folded);
      at = find_text(text, needle, at + 1, folded);
    }
    at = find_text_reverse(text, needle, {}, folded);
    for (int step = 0; step < kWalkSteps && at != -1; ++step) {
      check_backward(text, needle, at, folded);
      at = find_text_reverse(text, needle, at, folded);
    }
  }
  return 0;
}
