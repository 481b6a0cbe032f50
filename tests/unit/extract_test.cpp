#include "text/extract.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <string_view>

#include "support/gbk.h"
#include "text_testing.h"

namespace tessevin {
namespace {

using testing::all_texts;
using testing::gbk;
using testing::omitted;
using testing::reference_find;
using testing::shown;
using testing::T;

// "#引号" in code page 936, spelled out so that table rows can splice it into markers.
#define QUOTE "#\xD2\xFD\xBA\xC5"

TEST(ExtractBetween, QuoteTokenIsTheGbkWord) {
  EXPECT_EQ(std::string(quote_token), QUOTE);
  EXPECT_EQ(std::string(quote_token), gbk("#引号"));
}

TEST(ExtractBetween, Cuts) {
  static const struct {
    const char* source;
    const char* left;
    const char* right;
    std::optional<int> start;
    bool case_insensitive;
    const char* expected;
  } cases[] = {
      {"a[b]c", "[", "]", omitted, false, "b"},
      {"a[]c", "[", "]", omitted, false, ""},  // right marker directly after the left one
      {"a[bc", "[", "]", omitted, false, ""},
      {"c]a[b", "[", "]", omitted, false, ""},  // the right marker only stands before the left
      {"abc", "[", "]", omitted, false, ""},
      {"abc[", "[", "]", omitted, false, ""},  // left marker at the very end
      {"a]b[c]", "[", "]", omitted, false, "c"},
      {"x|y|z", "|", "|", omitted, false, "y"},  // the same marker on both sides
      {"||", "|", "|", omitted, false, ""},
      {"[1][2]", "[", "]", omitted, false, "1"},  // only the first left marker counts
      {"[1[2]", "[", "]", omitted, false, "1[2"},
      {"<td>7</td>", "<td>", "</td>", omitted, false, "7"},
      // The right marker is looked for from the end of the left one: no overlap.
      {"aXXXb", "XX", "XX", omitted, false, ""},
      {"aXXXXb", "XX", "XX", omitted, false, ""},
      {"aXXyXXb", "XX", "XX", omitted, false, "y"},
      // start: where the search for the left marker begins.
      {"[1][2]", "[", "]", 0, false, "1"},
      {"[1][2]", "[", "]", -3, false, "1"},
      {"[1][2]", "[", "]", INT_MIN, false, "1"},
      {"[1][2]", "[", "]", 1, false, "1"},
      {"[1][2]", "[", "]", 2, false, "2"},
      {"[1][2]", "[", "]", 4, false, "2"},
      {"[1][2]", "[", "]", 5, false, ""},
      {"[1][2]", "[", "]", 7, false, ""},
      {"[1][2]", "[", "]", INT_MAX, false, ""},
      // Empty and absent markers and sources.
      {"ab]cd]", "", "]", omitted, false, "ab"},
      {"ab]cd]", nullptr, "]", omitted, false, "ab"},
      {"ab]cd]", "", "]", 4, false, "ab"},  // from the beginning, not from start
      {"ab]cd]", "", "]", 6, false, "ab"},
      {"ab]cd]", "", "]", 7, false, ""},  // start past the end
      {"a[b]", "[", "", omitted, false, ""},
      {"a[b]", "[", nullptr, omitted, false, ""},
      {"[", "[", "", omitted, false, ""},
      {"abc", "", "", omitted, false, ""},
      {"", "[", "]", omitted, false, ""},
      {nullptr, "[", "]", omitted, false, ""},
      {"", "", "", omitted, false, ""},
      // The quote token in a marker stands for '"'; in the source it is just text.
      {"value=\"42\"", "value=" QUOTE, QUOTE, omitted, false, "42"},
      {"value=" QUOTE "42" QUOTE, "value=" QUOTE, QUOTE, omitted, false, ""},
      {"<a href=\"x\">", "href=" QUOTE, QUOTE ">", omitted, false, "x"},
      {"say \"hi\" now", QUOTE, QUOTE, omitted, false, "hi"},
      {"a\"\"b\"", QUOTE QUOTE, QUOTE, omitted, false, "b"},
      {"\"a\"", "#", QUOTE, omitted, false, ""},  // only the whole token counts
      // Exact unless asked otherwise; folding applies to both markers.
      {"<em>5</EM>", "<em>", "</em>", omitted, false, ""},
      {"<em>5</EM>", "<em>", "</em>", omitted, true, "5"},
      {"<EM>5</em>", "<em>", "</em>", omitted, false, ""},
      {"<EM>5</Em>", "<em>", "</em>", omitted, true, "5"},
      {"User-agent: X\r\nA: b", "USER-AGENT:", "\r\n", omitted, true, " X"},
      // Two-byte characters: markers match only where a character begins.
      {"\x81[a][b]", "[", "]", omitted, false, "b"},   // the first [ is a second byte
      {"[\x81]]", "[", "]", omitted, false, "\x81]"},  // so is the first ]
      {"[\x81]x]", "[\x81", "]", omitted, false, ""},  // the right search starts a scan afresh
      {"[ab\x81", "[", "\x81", omitted, false, "ab"},  // a lead byte at the end is still found
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.source) + " between " + shown(c.left) + " and " + shown(c.right) +
                 " start " + shown(c.start) + (c.case_insensitive ? " folded" : " exact"));
    const Text got =
        extract_between(T(c.source), T(c.left), T(c.right), c.start, c.case_insensitive);
    EXPECT_EQ(shown(got.view()), shown(c.expected));
  }
}

TEST(ExtractBetween, GbkPage) {
  const Text page(gbk("<p>等级：<b>30</b></p><p>战斗力：<b>12345</b></p>"));
  EXPECT_EQ(extract_between(page, Text(gbk("等级：<b>")), T("</b>")).str(), "30");
  EXPECT_EQ(extract_between(page, Text(gbk("战斗力：<b>")), T("</b>")).str(), "12345");
  EXPECT_EQ(extract_between(page, T("<p>"), Text(gbk("："))).str(), gbk("等级"));
}

// The same steps written out with the reference search: find the left marker, then
// the right one from just after it, and cut between.
std::string reference_extract(std::string_view source, std::string_view left,
                              std::string_view right, std::optional<int> start, bool folded) {
  int p = reference_find(source, left, start.value_or(0), folded);
  if (p != -1) p += static_cast<int>(left.size());
  const int q = reference_find(source, right, p, folded);
  if (p == -1 || q == -1 || q - p <= 0) return "";
  return std::string(
      source.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(q - p)));
}

TEST(ExtractBetween, AllSmallSourcesMatchSearchRule) {
  const auto sources = all_texts("[]a\x81", 5);
  static const char* const markers[] = {"", "[", "]", "[]", "a", "A", "\x81", "]]", "\x81]"};
  const std::optional<int> starts[] = {omitted, -1, 1, 2, 4, 6};
  constexpr int kReportedMismatches = 8;
  int mismatches = 0;
  for (const auto& s : sources) {
    const Text source(s);
    for (const char* left : markers) {
      for (const char* right : markers) {
        for (const auto start : starts) {
          for (const bool folded : {false, true}) {
            const std::string want = reference_extract(s, left, right, start, folded);
            const std::string got = extract_between(source, T(left), T(right), start, folded).str();
            if (got != want) {
              ADD_FAILURE() << "extract_between(" << shown(s) << ", " << shown(left) << ", "
                            << shown(right) << ", " << shown(start) << ", " << folded << ") gave "
                            << shown(got) << ", want " << shown(want);
              if (++mismatches == kReportedMismatches) return;
            }
          }
        }
      }
    }
  }
}

#undef QUOTE

}  // namespace
}  // namespace tessevin
