#include "text/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text_testing.h"

namespace tessevin {
namespace {

using namespace std::string_view_literals;
using testing::all_texts;
using testing::B;
using testing::is_high;
using testing::members;
using testing::omitted;
using testing::reference_find;
using testing::reference_find_reverse;
using testing::reference_remove_spaces;
using testing::reference_replace;
using testing::reference_split;
using testing::reference_to_int;
using testing::reference_trim;
using testing::same_bytes;
using testing::shown;
using testing::T;

// Stops an exhaustive loop after a handful of reports instead of flooding the log.
constexpr int kReportedMismatches = 8;

// ---- Basic values -----------------------------------------------------------------

TEST(TextValue, LengthCountsBytes) {
  static const struct {
    const char* text;
    int expected;
  } cases[] = {
      {nullptr, 0},                                       // absent
      {"", 0},      {"abc", 3}, {"\xD6\xD0\xCE\xC4", 4},  // two characters, four bytes
      {"a\x81", 2},  // a lone lead byte is a byte like any other
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.text));
    EXPECT_EQ(text_length(T(c.text)), c.expected);
  }
}

TEST(TextValue, EqualityIsByteForByte) {
  static const struct {
    const char* a;
    const char* b;
    bool expected;
  } cases[] = {
      {nullptr, "", true},  // the absent text is the empty text
      {"", nullptr, true},
      {nullptr, nullptr, true},
      {"", "", true},
      {"", "a", false},
      {"abc", "abc", true},
      {"a", "A", false},  // never folded
      {"ab", "abc", false},
      {"abc", "ab", false},
      {"\x81\x41", "\x81\x61", false},
      {"\xD6\xD0", "\xD6\xD0", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.a) + " vs " + shown(c.b));
    EXPECT_EQ(text_equal(T(c.a), T(c.b)), c.expected);
  }
}

TEST(TextValue, AbsentTextActsAsEmpty) {
  const Text absent;
  ASSERT_TRUE(absent.is_absent());
  EXPECT_EQ(text_length(absent), 0);
  EXPECT_EQ(text_left(absent, 3).str(), "");
  EXPECT_EQ(text_right(absent, 3).str(), "");
  EXPECT_EQ(text_mid(absent, 1, 3).str(), "");
  EXPECT_EQ(find_text(absent, T("a")), -1);
  EXPECT_EQ(find_text_reverse(absent, T("a")), -1);
  EXPECT_EQ(replace_text(absent, T("a"), T("b")).str(), "");
  EXPECT_EQ(split_text(absent).count(), 0);
  EXPECT_EQ(trim_both(absent).str(), "");
  EXPECT_EQ(remove_all_spaces(absent).str(), "");
  EXPECT_EQ(to_lower(absent).str(), "");
  EXPECT_EQ(to_int(absent), 0);
  EXPECT_EQ(bytes_length(text_to_bytes(absent)), 0);
}

TEST(ConcatText, JoinsPartsAndAlwaysStores) {
  EXPECT_EQ(concat_text(T("ab"), T("cd")).str(), "abcd");
  EXPECT_EQ(concat_text(T("a"), T("b"), T("c"), T("d")).str(), "abcd");
  EXPECT_EQ(concat_text("a", T("b"), "c").str(), "abc");  // literals and Texts mixed
  EXPECT_EQ(concat_text(Text(), T("x"), Text()).str(), "x");
  // Parts are joined as bytes: a lead byte and the next part's byte make a character.
  EXPECT_EQ(concat_text(T("\x81"), T("A")).str(), "\x81\x41");

  // Absent parts count as empty, and the result is a stored text even then: the
  // web routines hand it to C interfaces as "" rather than a null pointer.
  const Text joined = concat_text(Text(), Text());
  EXPECT_FALSE(joined.is_absent());
  EXPECT_NE(joined.c_str_or_null(), nullptr);
  EXPECT_TRUE(text_equal(joined, Text()));
  EXPECT_FALSE(concat_text(T(""), T("")).is_absent());
}

// ---- Byte cutting -----------------------------------------------------------------

TEST(TextCutting, LeftAndRight) {
  static const struct {
    const char* text;
    int n;
    const char* left;
    const char* right;
  } cases[] = {
      {"abc", 2, "ab", "bc"},
      {"abc", 3, "abc", "abc"},
      {"abc", 5, "abc", "abc"},  // more than there is: all of it
      {"abc", INT_MAX, "abc", "abc"},
      {"abc", 0, "", ""},
      {"abc", -1, "", ""},
      {"abc", INT_MIN, "", ""},
      {"", 1, "", ""},
      {nullptr, 2, "", ""},
      // Byte counts cut two-byte characters in half.
      {"\xD6\xD0"
       "A",
       1, "\xD6", "A"},
      {"A\xD6\xD0", 1, "A", "\xD0"},
      {"\xD6\xD0\xCE\xC4", 3, "\xD6\xD0\xCE", "\xD0\xCE\xC4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.text) + " n=" + std::to_string(c.n));
    EXPECT_EQ(shown(text_left(T(c.text), c.n).view()), shown(c.left));
    EXPECT_EQ(shown(text_right(T(c.text), c.n).view()), shown(c.right));
  }
}

TEST(TextCutting, Mid) {
  static const struct {
    const char* text;
    int start;
    int n;
    const char* expected;
  } cases[] = {
      {"abcdef", 2, 3, "bcd"},
      {"abcdef", 1, 6, "abcdef"},
      {"abcdef", 5, 9, "ef"},  // fewer than n left: up to the end
      {"abcdef", 6, 1, "f"},
      {"abcdef", 2, INT_MAX, "bcdef"},
      {"abcdef", 0, 3, ""},  // a start below 1 is not moved up to 1
      {"abcdef", -1, 3, ""},
      {"abcdef", INT_MIN, INT_MAX, ""},
      {"abcdef", 7, 1, ""},  // past the end
      {"abcdef", INT_MAX, 1, ""},
      {"abcdef", 2, 0, ""},
      {"abcdef", 3, -1, ""},
      {"", 1, 1, ""},
      {nullptr, 1, 1, ""},
      {"\xD6\xD0\xCE\xC4", 2, 2, "\xD0\xCE"},  // halves of two characters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.text) + " start=" + std::to_string(c.start) + " n=" + std::to_string(c.n));
    EXPECT_EQ(shown(text_mid(T(c.text), c.start, c.n).view()), shown(c.expected));
  }
}

TEST(TextCutting, AllSmallArgumentsMatchByteRule) {
  const std::string t =
      "ab\xD6\xD0"
      "ef";
  const auto length = static_cast<int>(t.size());
  for (int n = -2; n <= length + 2; ++n) {
    SCOPED_TRACE("n=" + std::to_string(n));
    const std::string left =
        n <= 0 ? "" : t.substr(0, static_cast<std::size_t>(std::min(n, length)));
    const std::string right =
        n <= 0 ? "" : t.substr(static_cast<std::size_t>(length - std::min(n, length)));
    EXPECT_EQ(text_left(T(t.c_str()), n).str(), left);
    EXPECT_EQ(text_right(T(t.c_str()), n).str(), right);
    for (int start = -2; start <= length + 2; ++start) {
      SCOPED_TRACE("start=" + std::to_string(start));
      const std::string mid =
          (start < 1 || start > length || n <= 0)
              ? ""
              : t.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n));
      EXPECT_EQ(text_mid(T(t.c_str()), start, n).str(), mid);
    }
  }
}

// ---- Forward search ---------------------------------------------------------------

struct SearchCase {
  const char* text;
  const char* needle;
  std::optional<int> start;
  bool case_insensitive;
  int expected;
};

std::string describe(const SearchCase& c) {
  return shown(c.text) + " needle " + shown(c.needle) + " start " + shown(c.start) +
         (c.case_insensitive ? " folded" : " exact");
}

TEST(FindText, Positions) {
  static const SearchCase cases[] = {
      {"abcabc", "bc", omitted, false, 2},
      {"abcabc", "bc", 0, false, 2},  // below 1: from the beginning
      {"abcabc", "bc", -4, false, 2},
      {"abcabc", "bc", INT_MIN, false, 2},
      {"abcabc", "bc", 1, false, 2},
      {"abcabc", "bc", 2, false, 2},  // an occurrence at start itself
      {"abcabc", "bc", 3, false, 5},  // counted from the text's beginning
      {"abcabc", "bc", 5, false, 5},
      {"abcabc", "bc", 6, false, -1},  // only one byte left
      {"abcabc", "bc", 7, false, -1},  // past the end
      {"abcabc", "bc", INT_MAX, false, -1},
      {"abcabc", "abcabc", omitted, false, 1},
      {"abc", "abcd", omitted, false, -1},  // longer than the text
      {"abc", "c", 3, false, 3},
      {"abc", "x", omitted, false, -1},
      // An empty needle answers 1 while anything is left to search.
      {"abc", "", omitted, false, 1},
      {"abc", "", 3, false, 1},  // 1, not 3
      {"abc", "", -2, false, 1},
      {"abc", "", 4, false, -1},
      {"abc", nullptr, omitted, false, 1},
      {"", "", omitted, false, -1},
      {nullptr, "", omitted, false, -1},
      {nullptr, "a", omitted, false, -1},
      {"", "a", 1, false, -1},
      // A match begins only where a character begins.
      {"\x81\x41\x41", "A", omitted, false, 3},
      {"\x81\x41\x41", "A", 1, false, 3},
      {"\x81\x41\x41", "A", 2, false, 2},  // a scan takes its first byte as a character start
      {"\x81\x41", "A", omitted, false, -1},
      {"\x81\x41\x81\x42", "\x41\x81", omitted, false, -1},  // would straddle two characters
      {"\x81\x41\x81\x42", "\x41\x81", 2, false, 2},
      {"\xD6\xD0\xCE\xC4", "\xD0\xCE", omitted, false, -1},
      {"\xD6\xD0\xCE\xC4", "\xCE\xC4", omitted, false, 3},
      {"\x81\x81\x81"
       "a",
       "a", omitted, false, -1},  // an odd run of high bytes swallows the a
      {"\x81\x81"
       "a",
       "a", omitted, false, 3},
      // A lead byte at the very end is compared before the scan steps off it.
      {"a\x81", "\x81", omitted, false, 2},
      {"\x81", "\x81", omitted, false, 1},
      {"a\x81",
       "\x81"
       "b",
       omitted, false, -1},
      // Folding: ASCII letters only, on every byte compared, second bytes included.
      {"content-type: x", "Content-Type:", omitted, true, 1},
      {"content-type: x", "Content-Type:", omitted, false, -1},
      {"xAxa", "a", 3, true, 4},
      {"\x81\x61", "\x81\x41", omitted, true, 1},
      {"\x81\x41", "\x81\x61", omitted, true, 1},
      {"\x81\x61", "\x81\x41", omitted, false, -1},
      {"[", "{", omitted, true, -1},  // 0x5B and 0x7B are no letters
      {"@", "`", omitted, true, -1},
      {"\xC1\x41", "\xE1\x41", omitted, true, -1},  // high bytes are never folded
      {"\xA3\xC1", "\xA3\xE1", omitted, true, -1},  // nor are full-width letters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(describe(c));
    EXPECT_EQ(find_text(T(c.text), T(c.needle), c.start, c.case_insensitive), c.expected);
  }
}

TEST(FindText, AllSmallTextsMatchSteppingRule) {
  // 0x81 is a lead byte; 'A' and 'a' test folding, also as second bytes.
  const auto texts = all_texts(
      "ab\x81"
      "A",
      5);
  const auto needles = all_texts(
      "ab\x81"
      "A",
      2);
  const std::optional<int> starts[] = {omitted, -1, 0, 1, 2, 3, 4, 5, 6, 7};
  int mismatches = 0;
  for (const auto& t : texts) {
    const Text text(t);
    for (const auto& n : needles) {
      const Text needle(n);
      for (const auto start : starts) {
        for (const bool folded : {false, true}) {
          const int want = reference_find(t, n, start, folded);
          const int got = find_text(text, needle, start, folded);
          if (got != want) {
            ADD_FAILURE() << "find_text(" << shown(t) << ", " << shown(n) << ", " << shown(start)
                          << ", " << folded << ") gave " << got << ", want " << want;
            if (++mismatches == kReportedMismatches) return;
          }
        }
      }
    }
  }
}

// ---- Backward search --------------------------------------------------------------

TEST(FindTextReverse, Positions) {
  static const SearchCase cases[] = {
      {"a.b.c.d", ".", omitted, false, 6},
      {"a.b.c.d", ".", 8, false, 6},
      {"a.b.c.d", ".", 7, false, 6},  // ends at start - 1: counts
      {"a.b.c.d", ".", 100, false, 6},
      {"a.b.c.d", ".", INT_MAX, false, 6},
      {"a.b.c.d", ".", 6, false, 4},
      {"a.b.c.d", ".", 5, false, 4},
      {"a.b.c.d", ".", 4, false, 2},
      {"a.b.c.d", ".", 3, false, 2},
      {"a.b.c.d", ".", 2, false, -1},
      {"a.b.c.d", ".", 1, false, -1},
      {"a.b.c.d", ".", 0, false, -1},
      {"a.b.c.d", ".", -1, false, -1},
      {"a.b.c.d", ".", INT_MIN, false, -1},
      {"ab:", ":", omitted, false, 3},
      {"ab:", ":", 4, false, 3},
      {"ab:", ":", 3, false, -1},     // must end before position 3
      {"abcabc", "bc", 6, false, 2},  // the one at 5 would end past the window
      {"abcabc", "bc", 7, false, 5},
      {"aaa", "aa", omitted, false, 2},  // overlapping occurrences each count
      {"abc", "abcd", omitted, false, -1},
      {"abc", "x", omitted, false, -1},
      // Empty needle: 1 while the window holds anything.
      {"abc", "", omitted, false, 1},
      {"abc", "", 2, false, 1},
      {"abc", "", 9, false, 1},
      {"abc", "", 1, false, -1},
      {"abc", "", -1, false, -1},
      {"abc", nullptr, omitted, false, 1},
      {"", "", omitted, false, -1},
      {nullptr, "", omitted, false, -1},
      {nullptr, ".", omitted, false, -1},
      // Characters are counted from the first byte, whatever the window.
      {"\x81\x41\x41", "A", omitted, false, 3},
      {"\x81\x41\x41", "A", 3, false, -1},  // the A at 2 is a second byte
      {"\x81\x41", "A", omitted, false, -1},
      {"\x81\x81\x81"
       "a",
       "a", omitted, false, -1},
      {"a\x81", "\x81", omitted, false, 2},
      {"A.a", "a", omitted, true, 3},
      {"a.A", "a", omitted, false, 1},
      {"\x81\x61", "\x81\x41", omitted, true, 1},
      {"\x81\x61", "\x81\x41", omitted, false, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(describe(c));
    EXPECT_EQ(find_text_reverse(T(c.text), T(c.needle), c.start, c.case_insensitive), c.expected);
  }
}

TEST(FindTextReverse, WalksBackThroughOccurrences) {
  // Passing each result back as the start finds the occurrence before it; after the
  // first -1, -1 as start stays -1.
  const Text host = T("a.b.c.d");
  std::vector<int> seen;
  std::optional<int> start;
  for (int i = 0; i < 5; ++i) {
    const int found = find_text_reverse(host, T("."), start);
    seen.push_back(found);
    start = found;
  }
  EXPECT_EQ(seen, (std::vector<int>{6, 4, 2, -1, -1}));
}

TEST(FindTextReverse, AllSmallTextsMatchWindowRule) {
  const auto texts = all_texts(
      "ab\x81"
      "A",
      5);
  const auto needles = all_texts(
      "ab\x81"
      "A",
      2);
  const std::optional<int> starts[] = {omitted, -1, 0, 1, 2, 3, 4, 5, 6, 7};
  int mismatches = 0;
  for (const auto& t : texts) {
    const Text text(t);
    for (const auto& n : needles) {
      const Text needle(n);
      for (const auto start : starts) {
        for (const bool folded : {false, true}) {
          const int want = reference_find_reverse(t, n, start, folded);
          const int got = find_text_reverse(text, needle, start, folded);
          if (got != want) {
            ADD_FAILURE() << "find_text_reverse(" << shown(t) << ", " << shown(n) << ", "
                          << shown(start) << ", " << folded << ") gave " << got << ", want "
                          << want;
            if (++mismatches == kReportedMismatches) return;
          }
        }
      }
    }
  }
}

// ---- Replacement ------------------------------------------------------------------

TEST(ReplaceText, Occurrences) {
  static const struct {
    const char* text;
    const char* target;
    std::optional<const char*> replacement;  // nullptr: given, but absent
    std::optional<int> start;
    std::optional<int> count;
    bool case_sensitive;
    const char* expected;
  } cases[] = {
      {"aaaaa", "aa", "b", omitted, omitted, true, "bba"},  // left to right, no overlap
      {"aaa", "aa", "b", omitted, omitted, true, "ba"},
      {"aba", "a", "aa", omitted, omitted, true, "aabaa"},  // replacements are not searched again
      {"ab", "a", "ba", omitted, omitted, true, "bab"},
      {"abc", "abc", "", omitted, omitted, true, ""},
      {"abc", "abcd", "x", omitted, omitted, true, "abc"},
      {"abc", "", "x", omitted, omitted, true, "abc"},  // empty target: unchanged
      {"abc", nullptr, "x", omitted, omitted, true, "abc"},
      {"", "a", "b", omitted, omitted, true, ""},
      {nullptr, "a", "b", omitted, omitted, true, ""},
      {"a-b-c", "-", omitted, omitted, omitted, true, "abc"},  // left out: the empty text
      {"a-b-c", "-", nullptr, omitted, omitted, true, "abc"},
      // count: left out or negative, no limit; 0, nothing replaced.
      {"aaa", "a", "b", omitted, 0, true, "aaa"},
      {"aaa", "a", "b", omitted, -1, true, "bbb"},
      {"aaa", "a", "b", omitted, INT_MIN, true, "bbb"},
      {"aaa", "a", "b", omitted, 1, true, "baa"},
      {"aaa", "a", "b", omitted, 2, true, "bba"},
      {"aaa", "a", "b", omitted, 3, true, "bbb"},
      {"aaa", "a", "b", omitted, 9, true, "bbb"},
      // start: bytes before it are copied as they are.
      {"aaaa", "a", "b", 0, omitted, true, "bbbb"},
      {"aaaa", "a", "b", -2, omitted, true, "bbbb"},
      {"aaaa", "a", "b", INT_MIN, omitted, true, "bbbb"},
      {"aaaa", "a", "b", 1, omitted, true, "bbbb"},
      {"aaaa", "a", "b", 3, omitted, true, "aabb"},
      {"aaaa", "a", "b", 4, omitted, true, "aaab"},
      {"aaaa", "a", "b", 5, omitted, true, "aaaa"},  // past the end
      {"aaaa", "a", "b", INT_MAX, omitted, true, "aaaa"},
      {"aaaa", "a", "b", 2, 2, true, "abba"},
      {"abab", "ab", "x", 2, omitted, true, "abx"},  // the scan from 2 begins at b
      // The flag: true exact, false folded.
      {"aAa", "a", "x", omitted, omitted, true, "xAx"},
      {"aAa", "a", "x", omitted, omitted, false, "xxx"},
      {"ABC", "b", "q", omitted, omitted, false, "AqC"},            // the rest keeps its case
      {"\x81\x61", "\x81\x41", "Z", omitted, omitted, false, "Z"},  // second bytes fold too
      {"\x81\x61", "\x81\x41", "Z", omitted, omitted, true, "\x81\x61"},
      {"\xA3\xC1", "\xA3\xE1", "Z", omitted, omitted, false, "\xA3\xC1"},
      // Two-byte characters.
      {"\x81\x41\x41", "A", "x", omitted, omitted, true, "\x81\x41x"},  // not at a second byte
      {"\x81\x41\x41", "A", "x", 2, omitted, true, "\x81xx"},  // a scan from 2 takes 0x41 whole
      {"\xD6\xD0\xCE\xC4", "\xD0\xCE", "x", omitted, omitted, true, "\xD6\xD0\xCE\xC4"},
      // A lead byte at the very end.
      {"ab\x81", "a", "x", omitted, omitted, true, "xb"},  // a one-byte target's scan drops it
      {"\x81", "a", "x", omitted, omitted, true, ""},
      {"ab\x81", "a", "x", 3, omitted, true, "ab"},
      {"ab\x81", "a", "x", 4, omitted, true, "ab\x81"},         // start past the end: unchanged
      {"ab\x81", "zz", "x", omitted, omitted, true, "ab\x81"},  // a longer target stops before it
      {"ab\x81", "a", "x", omitted, 1, true, "xb\x81"},         // the limit ends the scan first
      {"ab\x81", "\x81", "x", omitted, omitted, true, "abx"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.text) + " target " + shown(c.target) + " by " +
                 (c.replacement ? shown(*c.replacement) : "(left out)") + " start " +
                 shown(c.start) + " count " + shown(c.count) +
                 (c.case_sensitive ? " exact" : " folded"));
    const std::optional<Text> replacement =
        c.replacement ? std::optional<Text>(T(*c.replacement)) : std::nullopt;
    const Text got =
        replace_text(T(c.text), T(c.target), replacement, c.start, c.count, c.case_sensitive);
    EXPECT_EQ(shown(got.view()), shown(c.expected));
  }
}

TEST(ReplaceText, FlagLeftOutFolds) {
  // The opposite default to the searches: left out, letters match in either case.
  EXPECT_EQ(replace_text(T("aAa"), T("a"), T("x")).str(), "xxx");
  EXPECT_EQ(replace_text(T("aAa"), T("a"), T("x"), omitted, omitted).str(), "xxx");
  EXPECT_EQ(replace_text(T("Set-COOKIE"), T("cookie")).str(), "Set-");
}

TEST(ReplaceText, AllSmallTextsMatchScanRule) {
  const auto texts = all_texts(
      "ab\x81"
      "A",
      4);
  const auto targets = all_texts(
      "ab\x81"
      "A",
      2);
  const std::optional<int> starts[] = {omitted, 0, 1, 2, 3, 5};
  const std::optional<int> counts[] = {omitted, -1, 0, 1, 2};
  int mismatches = 0;
  for (const auto& t : texts) {
    const Text text(t);
    for (const auto& target : targets) {
      const Text target_text(target);
      for (const char* replacement : {"", "Z"}) {
        for (const auto start : starts) {
          for (const auto count : counts) {
            for (const bool exact : {false, true}) {
              const std::string want =
                  reference_replace(t, target, replacement, start, count, exact);
              const std::string got =
                  replace_text(text, target_text, T(replacement), start, count, exact).str();
              if (got != want) {
                ADD_FAILURE() << "replace_text(" << shown(t) << ", " << shown(target) << ", "
                              << shown(replacement) << ", " << shown(start) << ", " << shown(count)
                              << ", " << exact << ") gave " << shown(got) << ", want "
                              << shown(want);
                if (++mismatches == kReportedMismatches) return;
              }
            }
          }
        }
      }
    }
  }
}

// ---- Splitting --------------------------------------------------------------------

TEST(SplitText, Members) {
  static const struct {
    const char* text;
    std::optional<const char*> separator;  // nullptr: given, but absent
    std::optional<int> max_count;
    std::vector<std::string> expected;
  } cases[] = {
      {"a,,b", omitted, omitted, {"a", "", "b"}},
      {"a,b,", omitted, omitted, {"a", "b"}},  // no empty last member
      {",a", omitted, omitted, {"", "a"}},
      {",", omitted, omitted, {""}},
      {",,", omitted, omitted, {"", ""}},
      {"", omitted, omitted, {}},
      {nullptr, omitted, omitted, {}},
      {"abc", omitted, omitted, {"abc"}},
      {"a;b", omitted, omitted, {"a;b"}},  // left out, the separator is ","
      {"a,b", ",", omitted, {"a", "b"}},
      {"a,b", "", omitted, {"a,b"}},       // empty separator: the whole text
      {"a,b", nullptr, omitted, {"a,b"}},  // given absent is empty, not the default
      {"", "", omitted, {}},
      {"a::b::", "::", omitted, {"a", "b"}},
      {"a:::b", "::", omitted, {"a", ":b"}},
      {":::", "::", omitted, {"", ":"}},
      {"a; b; c", "; ", omitted, {"a", "b", "c"}},
      {"aXb", "x", omitted, {"aXb"}},  // exact matching only
      // max_count: every member counts, the rest is dropped.
      {"a,b,c", ",", 0, {}},
      {"a,b,c", ",", -1, {}},
      {"a,b,c", ",", INT_MIN, {}},
      {"a,b,c", ",", 1, {"a"}},
      {"a,b,c", ",", 2, {"a", "b"}},
      {"a,b,c", ",", 3, {"a", "b", "c"}},
      {"a,b,c", ",", INT_MAX, {"a", "b", "c"}},
      {"abc", ",", 1, {"abc"}},
      {",a", ",", 1, {""}},
      {"a,,b", ",", 2, {"a", ""}},
      {"a,b,", ",", 2, {"a", "b"}},
      {"a,b,", ",", 3, {"a", "b"}},
      {"", ",", 1, {}},
      {"abc", "", 0, {}},  // a limit of 0 wins over the empty separator
      {"abc", "", 1, {"abc"}},
      // Two-byte characters.
      {"\x81,", ",", omitted, {"\x81,"}},  // the comma is a second byte
      {"\x81,,x", ",", omitted, {"\x81,", "x"}},
      {"a,\x81", ",", omitted, {"a", "\x81"}},  // a lead byte at the end stays in the last member
      {"\x81", ",", omitted, {"\x81"}},
      {"a\xA1\xA1"
       "b",
       "\xA1\xA1",
       omitted,
       {"a", "b"}},
      {"\x81\xA1\xA1\xA1", "\xA1\xA1", omitted, {"\x81\xA1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.text) + " at " + (c.separator ? shown(*c.separator) : "(left out)") +
                 " max " + shown(c.max_count));
    const std::optional<Text> separator =
        c.separator ? std::optional<Text>(T(*c.separator)) : std::nullopt;
    EXPECT_EQ(shown(members(split_text(T(c.text), separator, c.max_count))), shown(c.expected));
  }
}

TEST(SplitText, AllSmallTextsMatchScanRule) {
  const auto texts = all_texts("a,\x81:", 6);
  const std::optional<std::string> separators[] = {omitted, "",      ",", ",,",
                                                   ":,",    "\x81,", "a", "a:"};
  const std::optional<int> limits[] = {omitted, -1, 0, 1, 2, 3};
  int mismatches = 0;
  for (const auto& t : texts) {
    const Text text(t);
    for (const auto& separator : separators) {
      const std::optional<Text> sep =
          separator ? std::optional<Text>(Text(*separator)) : std::nullopt;
      for (const auto limit : limits) {
        const auto want = reference_split(t, separator, limit);
        const auto got = members(split_text(text, sep, limit));
        if (got != want) {
          ADD_FAILURE() << "split_text(" << shown(t) << ", "
                        << (separator ? shown(*separator) : "(left out)") << ", " << shown(limit)
                        << ") gave " << shown(got) << ", want " << shown(want);
          if (++mismatches == kReportedMismatches) return;
        }
      }
    }
  }
}

// ---- Spaces, case and numbers -----------------------------------------------------

TEST(Spaces, TrimBoth) {
  static const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"  a b  ", "a b"},
      {"\xA1\xA1"
       "a\xA1\xA1",
       "a"},  // the ideographic space
      {" \xA1\xA1 a \xA1\xA1 ", "a"},
      {"a", "a"},
      {"a\t", "a\t"},  // only two characters are spaces
      {"\ta", "\ta"},
      {"a\r\n", "a\r\n"},
      {"a\n ", "a\n"},
      {" \va\f ", "\va\f"},
      {"   ", ""},
      {"\xA1\xA1\xA1\xA1", ""},
      {"", ""},
      {nullptr, ""},
      {"\xA1\xA1\xD6\xD0\xA1\xA1", "\xD6\xD0"},
      {"\x81 ", "\x81 "},  // 0x20 as a second byte is no space
      {" \x81 ", "\x81 "},
      {"\xA1 ", "\xA1 "},
      // A lead byte at the end is left out.
      {"a\xA1", "a"},
      {"\x81\xA1\xA1", "\x81\xA1"},  // 81 A1 is one character; the last A1 stands alone
      {"\xA1\xA1\xA1", ""},
      {"a \x81", "a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.text));
    EXPECT_EQ(shown(trim_both(T(c.text)).view()), shown(c.expected));
  }
}

TEST(Spaces, RemoveAllSpaces) {
  static const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"x \xA1\xA1 y z", "xyz"},
      {" a b ", "ab"},
      {"a\tb\r\n", "a\tb\r\n"},
      {"  ", ""},
      {"\xA1\xA1", ""},
      {"", ""},
      {nullptr, ""},
      {"\xD6\xD0 \xCE\xC4", "\xD6\xD0\xCE\xC4"},
      {"\x81 a", "\x81 a"},    // 0x20 as a second byte stays
      {"\xA1 \xA1", "\xA1 "},  // A1 20 is one character; the last A1 stands alone
      {"\x81\xA1\xA1", "\x81\xA1"},
      {"ab\x81", "ab"},  // a lead byte at the end is left out
      {"\xA1", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.text));
    EXPECT_EQ(shown(remove_all_spaces(T(c.text)).view()), shown(c.expected));
  }
}

TEST(Spaces, AllSmallTextsMatchCharacterRule) {
  const auto texts = all_texts(" a\xA1\x81\t", 6);
  int mismatches = 0;
  for (const auto& t : texts) {
    const Text text(t);
    const std::string trimmed = trim_both(text).str();
    const std::string removed = remove_all_spaces(text).str();
    if (trimmed != reference_trim(t)) {
      ADD_FAILURE() << "trim_both(" << shown(t) << ") gave " << shown(trimmed) << ", want "
                    << shown(reference_trim(t));
      if (++mismatches == kReportedMismatches) return;
    }
    if (removed != reference_remove_spaces(t)) {
      ADD_FAILURE() << "remove_all_spaces(" << shown(t) << ") gave " << shown(removed) << ", want "
                    << shown(reference_remove_spaces(t));
      if (++mismatches == kReportedMismatches) return;
    }
  }
}

TEST(ToLower, AsciiLettersThatBeginACharacter) {
  static const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"ABC xyz", "abc xyz"},
      {"AZ", "az"},
      {"@[`{", "@[`{"},          // neighbours of the letters
      {"\x81\x41", "\x81\x41"},  // second bytes stay
      {"\x81\x41\x41", "\x81\x41\x61"},
      {"\xA3\xC1", "\xA3\xC1"},  // full-width A stays
      {"\xC1", "\xC1"},
      {"A\x81", "a\x81"},  // a lead byte at the end is kept
      {"", ""},
      {nullptr, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.text));
    EXPECT_EQ(shown(to_lower(T(c.text)).view()), shown(c.expected));
  }
}

TEST(ToLower, AllByteAndPairTexts) {
  int mismatches = 0;
  for (int a = 1; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      std::string t(1, static_cast<char>(a));
      if (b != 0) t += static_cast<char>(b);
      std::string want = t;
      if (a >= 'A' && a <= 'Z') want[0] = static_cast<char>(a + 0x20);
      if (a < 0x80 && b >= 'A' && b <= 'Z') want[1] = static_cast<char>(b + 0x20);
      const std::string got = to_lower(Text(t)).str();
      if (got != want) {
        ADD_FAILURE() << "to_lower(" << shown(t) << ") gave " << shown(got) << ", want "
                      << shown(want);
        if (++mismatches == kReportedMismatches) return;
      }
    }
  }
}

TEST(ToInt, LeadingNumber) {
  static const struct {
    const char* text;
    int expected;
  } cases[] = {
      {"  42abc", 42},
      {"-7", -7},
      {"+3", 3},
      {"007", 7},
      {"12 34", 12},
      {"-0", 0},
      {"abc", 0},
      {"", 0},
      {nullptr, 0},
      {"-", 0},
      {"- 5", 0},  // no space after the sign
      {"+-5", 0},
      {"--5", 0},
      {"0x1A", 0},
      {" \t\n\v\f\r9", 9},  // the C white space
      // 32-bit arithmetic that wraps around.
      {"2147483647", INT_MAX},
      {"2147483648", INT_MIN},
      {"-2147483648", INT_MIN},
      {"4294967295", -1},
      {"4294967297", 1},
      {"-4294967295", 1},
      {"99999999999", 1215752191},
      // Full-width forms read as ASCII.
      {"\xA3\xB1\xA3\xB2", 12},
      {"\xA3\xB9\xA3\xB9", 99},
      {"1\xA3\xB2"
       "3",
       123},
      {"\xA3\xAD"
       "5",
       -5},                     // full-width minus
      {"\xA3\xAB\xA3\xB5", 5},  // full-width plus
      {"\xA1\xA1"
       "7",
       7},  // ideographic space
      {"\xA1\xA1\xA1\xA1-8", -8},
      {"\xA3\xA0"
       "5",
       0},  // A3 A0 is no full-width form
      {"\xA3", 0},
      {"\x81 5", 0},  // 81 20 is one character, no space
      {"5\x81", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.text));
    EXPECT_EQ(to_int(T(c.text)), c.expected);
  }
}

TEST(ToInt, AllSmallTextsMatchReadingRule) {
  const auto texts = all_texts(" -19\xA3\xB1\xA1\t", 5);
  int mismatches = 0;
  for (const auto& t : texts) {
    const int got = to_int(Text(t));
    const int want = reference_to_int(t);
    if (got != want) {
      ADD_FAILURE() << "to_int(" << shown(t) << ") gave " << got << ", want " << want;
      if (++mismatches == kReportedMismatches) return;
    }
  }
}

TEST(HexText, UpperCaseWithoutLeadingZeros) {
  static const struct {
    int value;
    const char* expected;
  } cases[] = {
      {255, "FF"},
      {10, "A"},
      {0, "0"},
      {16, "10"},
      {0xABC, "ABC"},
      {0x10000000, "10000000"},
      {INT_MAX, "7FFFFFFF"},
      {-1, "FFFFFFFF"},  // negatives as unsigned 32-bit
      {-16, "FFFFFFF0"},
      {INT_MIN, "80000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(hex_text(c.value).str(), c.expected);
  }
  for (int v = 0; v < 256; ++v) {
    char want[8];
    std::snprintf(want, sizeof want, "%X", static_cast<unsigned>(v));
    EXPECT_EQ(hex_text(v).str(), want) << v;
  }
}

TEST(CharOf, OneByteAndAbsentForZero) {
  EXPECT_EQ(char_of(65).str(), "A");
  const Text none = char_of(0);
  EXPECT_TRUE(none.is_absent());
  EXPECT_EQ(none.c_str_or_null(), nullptr);
  EXPECT_TRUE(text_equal(none, T("")));
  for (int b = 1; b < 256; ++b) {
    const Text t = char_of(static_cast<std::uint8_t>(b));
    ASSERT_EQ(text_length(t), 1) << b;
    EXPECT_EQ(t.byte(0), b);
  }
}

TEST(BlankText, Spaces) {
  static const struct {
    int n;
    const char* expected;
  } cases[] = {
      {3, "   "}, {1, " "}, {0, ""}, {-1, ""}, {INT_MIN, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(blank_text(c.n).str(), c.expected);
  }
}

// ---- Bytes ------------------------------------------------------------------------

TEST(BytesValue, LengthAndIndexedRead) {
  EXPECT_EQ(bytes_length(Bytes()), 0);
  const Bytes b =
      B("\x00\xFF"
        "A\x80"sv);
  ASSERT_EQ(bytes_length(b), 4);
  EXPECT_EQ(byte_at(b, 1), 0);
  EXPECT_EQ(byte_at(b, 2), 255);  // 0..255, never negative
  EXPECT_EQ(byte_at(b, 3), 65);
  EXPECT_EQ(byte_at(b, 4), 128);

  std::string every(256, '\0');
  for (int i = 0; i < 256; ++i) every[static_cast<std::size_t>(i)] = static_cast<char>(i);
  const Bytes all = B(every);
  ASSERT_EQ(bytes_length(all), 256);
  for (int i = 1; i <= 256; ++i) EXPECT_EQ(byte_at(all, i), i - 1);
}

TEST(BytesValue, Left) {
  static const struct {
    std::string_view bytes;
    int n;
    std::string_view expected;
  } cases[] = {
      {"abcde"sv, 2, "ab"sv},
      {"abcde"sv, 9, "abcde"sv},
      {"abcde"sv, 5, "abcde"sv},
      {"abcde"sv, INT_MAX, "abcde"sv},
      {"abcde"sv, 0, ""sv},
      {"abcde"sv, -1, ""sv},
      {"a\0\0b"sv, 3, "a\0\0"sv},  // zero bytes are bytes like any other
      {""sv, 1, ""sv},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.bytes) + " n=" + std::to_string(c.n));
    EXPECT_EQ(shown(bytes_left(B(c.bytes), c.n).view()), shown(c.expected));
  }
}

TEST(BytesValue, Blank) {
  EXPECT_EQ(blank_bytes(3).view(), "\0\0\0"sv);
  EXPECT_EQ(bytes_length(blank_bytes(0)), 0);
  EXPECT_EQ(bytes_length(blank_bytes(-2)), 0);
}

TEST(BytesValue, ConcatAndEqual) {
  EXPECT_EQ(concat_bytes(B("a\0"sv), B("\0b"sv)).view(), "a\0\0b"sv);
  EXPECT_EQ(concat_bytes(B("a"), B(""), B("\0"sv)).view(), "a\0"sv);
  EXPECT_EQ(bytes_length(concat_bytes(Bytes(), Bytes())), 0);

  static const struct {
    std::string_view a;
    std::string_view b;
    bool expected;
  } cases[] = {
      {""sv, ""sv, true},          {"a\0b"sv, "a\0b"sv, true},
      {"a\0"sv, "a"sv, false},  // the length counts, trailing zeros included
      {"a\0b"sv, "a\0c"sv, false}, {"\0"sv, ""sv, false},
      {"\x81"sv, "\x81"sv, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.a) + " vs " + shown(c.b));
    EXPECT_EQ(bytes_equal(B(c.a), B(c.b)), c.expected);
  }
}

TEST(BytesValue, TextRoundTrips) {
  EXPECT_EQ(text_to_bytes(T("abc")).view(), "abc"sv);  // no terminating zero
  EXPECT_EQ(text_to_bytes(T("\xD6\xD0")).view(), "\xD6\xD0"sv);
  EXPECT_EQ(bytes_length(text_to_bytes(T(""))), 0);
  EXPECT_EQ(bytes_length(text_to_bytes(Text())), 0);

  static const struct {
    std::string_view bytes;
    const char* expected;
  } cases[] = {
      {"A\0B"sv, "A"},  // up to the first zero byte
      {"\0A"sv, ""},   {"AB\0"sv, "AB"}, {"AB"sv, "AB"}, {""sv, ""}, {"\xFF\x81"sv, "\xFF\x81"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(shown(c.bytes));
    EXPECT_EQ(shown(bytes_to_text(B(c.bytes)).view()), shown(c.expected));
  }
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_TRUE(text_equal(bytes_to_text(B(one)), char_of(static_cast<std::uint8_t>(b)))) << b;
    EXPECT_TRUE(bytes_equal(text_to_bytes(char_of(static_cast<std::uint8_t>(b))), B(one))) << b;
  }
}

// ---- TextList ---------------------------------------------------------------------

TEST(TextListValue, AppendKeepsCopiesInOrder) {
  TextList list;
  EXPECT_EQ(list.count(), 0);
  Text item = T("one");
  list.append(item);
  item = T("changed");
  list.append(T("two"));
  list.append(Text());
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.at(1).str(), "one");
  EXPECT_EQ(list.at(2).str(), "two");
  EXPECT_TRUE(text_equal(list.at(3), T("")));
}

TEST(TextListDeathTest, AccessOutsideTheListStops) {
  TextList list;
  EXPECT_DEATH((void)list.at(1), "");
  list.append(T("a"));
  list.append(T("b"));
  EXPECT_DEATH((void)list.at(0), "");
  EXPECT_DEATH((void)list.at(3), "");
  EXPECT_DEATH((void)list.at(-1), "");
  EXPECT_DEATH((void)split_text(T("a,b")).at(3), "");
}

TEST(BytesDeathTest, ReadOutsideTheBytesStops) {
  const Bytes b = B("ab");
  EXPECT_DEATH((void)byte_at(b, 0), "");
  EXPECT_DEATH((void)byte_at(b, 3), "");
  EXPECT_DEATH((void)byte_at(Bytes(), 1), "");
}

}  // namespace
}  // namespace tessevin
