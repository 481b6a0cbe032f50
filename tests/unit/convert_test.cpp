#include "text/convert.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "support/gbk.h"

namespace tessevin {
namespace {

using platform::cp_acp;
using platform::cp_gbk;
using platform::cp_utf8;
using platform::multi_byte_to_wide;
using platform::wide_to_multi_byte;
using testing::gbk;
using namespace std::string_view_literals;

// --- helpers ------------------------------------------------------------------------

std::string hex(std::string_view bytes) {
  std::string out;
  char digits[4];
  for (const char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", static_cast<unsigned char>(c));
    out += digits;
  }
  return out;
}

// A wide text as its units (low byte first in the Bytes).
std::u16string units_of(const Bytes& wide) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < wide.size(); i += 2) {
    units.push_back(static_cast<char16_t>(wide.data()[i] | (wide.data()[i + 1] << 8)));
  }
  return units;
}

Bytes wide_of(std::u16string_view units) {
  std::string bytes;
  for (const char16_t u : units) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return Bytes(std::move(bytes));
}

// Stops at every character without a mapping. ICU's own UCNV_FROM_U_CALLBACK_STOP
// lets "default ignorable" ones (U+00AD, U+200B, ...) vanish instead.
void stop_at_any_unmapped(const void*, UConverterFromUnicodeArgs*, const UChar*, int32_t, UChar32,
                          UConverterCallbackReason, UErrorCode*) {}

// ICU on its own converter: the reference the code under test is held to.
class IcuGbk {
 public:
  IcuGbk() {
    UErrorCode status = U_ZERO_ERROR;
    converter_ = ucnv_open("windows-936", &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  }
  ~IcuGbk() { ucnv_close(converter_); }
  IcuGbk(const IcuGbk&) = delete;
  IcuGbk& operator=(const IcuGbk&) = delete;

  std::u16string decode(std::string_view bytes) {
    std::u16string out(bytes.size() + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(converter_, out.data(), static_cast<int32_t>(out.size()),
                                    bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    out.resize(static_cast<std::size_t>(n));
    return out;
  }
  // The bytes ICU maps the units to, or nothing when it maps one of them to none.
  std::optional<std::string> encode(std::u16string_view units) {
    std::string out(units.size() * 2 + 1, '\0');
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter_, stop_at_any_unmapped, nullptr, nullptr, nullptr, &status);
    const int32_t n = ucnv_fromUChars(converter_, out.data(), static_cast<int32_t>(out.size()),
                                      units.data(), static_cast<int32_t>(units.size()), &status);
    if (U_FAILURE(status)) return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    return out;
  }
  // Whether ICU maps any code point of [first, last] to GBK.
  bool maps_any(char32_t first, char32_t last) {
    UErrorCode status = U_ZERO_ERROR;
    USet* set = uset_openEmpty();
    ucnv_getUnicodeSet(converter_, set, UCNV_ROUNDTRIP_AND_FALLBACK_SET, &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    USet* range = uset_open(static_cast<UChar32>(first), static_cast<UChar32>(last));
    const bool any = !uset_containsNone(set, range);
    uset_close(range);
    uset_close(set);
    return any;
  }

 private:
  UConverter* converter_ = nullptr;
};

// --- platform layer: measuring, room and failure answers ------------------------------

TEST(MultiByteToWide, MeasuresUnitsWithTerminatorOnlyWhenZeroTerminated) {
  static const struct {
    const char* what;
    int code_page;
    const char* src;
    int src_len;
    int units;
  } cases[] = {
      {"empty, zero-terminated: the terminator", cp_acp, "", -1, 1},
      {"empty, counted", cp_acp, "", 0, 0},
      {"GBK 中a, zero-terminated", cp_acp, "\xD6\xD0\x61", -1, 3},
      {"GBK 中a, counted", cp_gbk, "\xD6\xD0\x61", 3, 2},
      {"counted stops before the zero", cp_gbk, "ab\0cd", 2, 2},
      {"counted reads past a zero byte", cp_gbk, "ab\0cd", 5, 5},
      {"UTF-8 中, zero-terminated", cp_utf8, "\xE4\xB8\xAD", -1, 2},
      {"UTF-8 😀 takes a surrogate pair", cp_utf8, "\xF0\x9F\x98\x80", 4, 2},
      {"UTF-8 bytes read as GBK", cp_acp, "\xE4\xB8\xAD", 3, 2},
      {"lone GBK lead byte at the end", cp_gbk, "a\x81", 2, 2},
      {"GBK lead byte before an ASCII byte", cp_gbk, "\x81 ", 2, 2},
      {"ill-formed UTF-8, one U+FFFD per byte", cp_utf8, "\xC0\xC0", 2, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    char16_t unused[1] = {u'x'};
    EXPECT_EQ(multi_byte_to_wide(c.code_page, c.src, c.src_len, unused, 0), c.units);
    EXPECT_EQ(multi_byte_to_wide(c.code_page, c.src, c.src_len, nullptr, 0), c.units);
    EXPECT_EQ(unused[0], u'x') << "measuring writes nothing";
  }
}

TEST(MultiByteToWide, AnswersZeroOnFailure) {
  char16_t dst[8] = {};
  EXPECT_EQ(multi_byte_to_wide(1252, "abc", -1, dst, 8), 0) << "unsupported code page";
  EXPECT_EQ(multi_byte_to_wide(1252, "abc", -1, nullptr, 0), 0);
  EXPECT_EQ(multi_byte_to_wide(cp_acp, nullptr, -1, dst, 8), 0);
  EXPECT_EQ(multi_byte_to_wide(cp_acp, nullptr, -1, nullptr, 0), 0);
  EXPECT_EQ(multi_byte_to_wide(cp_acp, "abc", -1, dst, -1), 0) << "negative room";
  EXPECT_EQ(multi_byte_to_wide(cp_acp, "abc", -2, dst, 8), 0) << "length below -1";
  EXPECT_EQ(multi_byte_to_wide(cp_acp, "abc", -1, nullptr, 8), 0) << "room without a buffer";
}

TEST(MultiByteToWide, ConvertsIntoTheRoomAndNeverPastIt) {
  static const struct {
    const char* what;
    int code_page;
    const char* src;
    int src_len;
    int room;
    int answer;
    std::u16string_view dst;  // what the room holds afterwards
  } cases[] = {
      {"exact room with terminator", cp_gbk, "\xD6\xD0\x61", -1, 3, 3, u"\u4E2Da\0"sv},
      {"no room for the terminator", cp_gbk, "\xD6\xD0\x61", -1, 2, 0, u"\u4E2Da"sv},
      {"room for half", cp_gbk, "\xD6\xD0\x61", -1, 1, 0, u"\u4E2D"sv},
      {"counted: no terminator written", cp_gbk, "\xD6\xD0\x61", 3, 2, 2, u"\u4E2Da"sv},
      {"more room than needed", cp_acp, "ab", -1, 5, 3, u"ab\0##"sv},
      {"UTF-8 exact", cp_utf8, "\xE4\xB8\xAD\x62", -1, 3, 3, u"\u4E2Db\0"sv},
      {"UTF-8 too small keeps what fitted", cp_utf8, "abc", 3, 2, 0, u"ab"sv},
      {"0x80 is the euro sign", cp_gbk, "\x80", 1, 1, 1, u"\u20AC"sv},
      {"0xFF is a character of its own", cp_gbk, "\xFF", 1, 1, 1, u"\uF8F5"sv},
      {"lone lead byte at the end", cp_gbk, "a\x81", -1, 3, 3, u"a\uFFFD\0"sv},
      {"lead byte before a byte that is no trail", cp_gbk, "\x81\x20", 2, 2, 2, u"\uFFFD "sv},
      {"lead byte before DEL", cp_gbk, "\x81\x7F", 2, 2, 2, u"\uFFFD\x7F"sv},
      {"ill-formed UTF-8", cp_utf8, "a\xFF\x62", 3, 3, 3, u"a\uFFFDb"sv},
      {"truncated UTF-8", cp_utf8, "\xE4\xB8", 2, 1, 1, u"\uFFFD"sv},
      {"UTF-8 of a surrogate", cp_utf8, "\xED\xA0\x80", 3, 8, 3, u"\uFFFD\uFFFD\uFFFD"sv},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // A guard unit after the room catches a write past it.
    std::u16string dst(static_cast<std::size_t>(c.room) + 1, u'#');
    EXPECT_EQ(multi_byte_to_wide(c.code_page, c.src, c.src_len, dst.data(), c.room), c.answer);
    EXPECT_EQ(dst.back(), u'#');
    dst.pop_back();
    EXPECT_EQ(std::u16string_view(dst).substr(0, c.dst.size()), c.dst);
  }
}

TEST(WideToMultiByte, MeasuresConvertsAndReplaces) {
  static const struct {
    const char* what;
    int code_page;
    std::u16string src;
    bool zero_terminated;
    std::string out;  // without the terminator
  } cases[] = {
      {"empty", cp_acp, u"", true, ""},
      {"中a in GBK", cp_acp, u"\u4E2Da", true, "\xD6\xD0\x61"},
      {"中a in UTF-8", cp_utf8, u"\u4E2Da", false, "\xE4\xB8\xAD\x61"},
      {"euro sign is 0x80", cp_gbk, u"\u20AC", false, "\x80"},
      {"é is in GBK", cp_gbk, u"\u00E9", false, "\xA8\xA6"},
      {"Thai ko kai is not: one '?'", cp_gbk, u"x\u0E01y", true, "x?y"},
      {"emoji, a surrogate pair: one '?'", cp_gbk, u"x\U0001F600y", true, "x?y"},
      // ICU would drop these "default ignorable" characters without a trace.
      {"zero width space", cp_gbk, u"x\u200By", true, "x?y"},
      {"language tag", cp_gbk, u"x\U000E0001y", true, "x?y"},
      {"unpaired lead surrogate in GBK", cp_gbk, u"x\xD800y", false, "x?y"},
      {"unpaired trail surrogate in GBK", cp_gbk, u"\xDC00", true, "?"},
      {"lead surrogate at the end in GBK", cp_gbk, u"a\xD83D", false, "a?"},
      {"unpaired surrogate in UTF-8", cp_utf8, u"x\xD800y", true, "x\xEF\xBF\xBDy"},
      {"emoji in UTF-8", cp_utf8, u"\U0001F600", true, "\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int len = c.zero_terminated ? -1 : static_cast<int>(c.src.size());
    const int want = static_cast<int>(c.out.size()) + (c.zero_terminated ? 1 : 0);
    EXPECT_EQ(wide_to_multi_byte(c.code_page, c.src.c_str(), len, nullptr, 0), want);

    std::string dst(static_cast<std::size_t>(want) + 1, '#');
    EXPECT_EQ(wide_to_multi_byte(c.code_page, c.src.c_str(), len, dst.data(), want), want);
    EXPECT_EQ(hex(dst.substr(0, c.out.size())), hex(c.out));
    if (c.zero_terminated) {
      EXPECT_EQ(dst[c.out.size()], '\0');
    }
    EXPECT_EQ(dst.back(), '#') << "wrote past the room";

    if (want > 1) {  // a room of 0 would measure
      std::string small(static_cast<std::size_t>(want), '#');
      EXPECT_EQ(wide_to_multi_byte(c.code_page, c.src.c_str(), len, small.data(), want - 1), 0);
      EXPECT_EQ(small.back(), '#') << "wrote past the room";
    }
  }
}

TEST(WideToMultiByte, FillsTooSmallARoomWithoutWritingPastIt) {
  static const struct {
    const char* what;
    int code_page;
    const char16_t* src;
    int src_len;
    int room;
    std::string_view dst;  // what the room holds afterwards, at least
  } cases[] = {
      {"ASCII run", cp_gbk, u"abcdefghij", 10, 5, "abcde"},
      {"no room for the terminator", cp_gbk, u"abcd", -1, 4, "abcd"},
      {"no half of a two-byte character", cp_gbk, u"ab\u4E2D", 3, 3, "ab"},
      {"UTF-8", cp_utf8, u"abcdefghij", 10, 5, "abcde"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string dst(static_cast<std::size_t>(c.room) + 1, '#');
    EXPECT_EQ(wide_to_multi_byte(c.code_page, c.src, c.src_len, dst.data(), c.room), 0);
    EXPECT_EQ(dst.back(), '#') << "wrote past the room";
    EXPECT_EQ(std::string_view(dst).substr(0, c.dst.size()), c.dst);
  }
}

TEST(WideToMultiByte, AnswersZeroOnFailure) {
  char dst[8] = {};
  EXPECT_EQ(wide_to_multi_byte(1252, u"abc", -1, dst, 8), 0);
  EXPECT_EQ(wide_to_multi_byte(cp_utf8, nullptr, -1, dst, 8), 0);
  EXPECT_EQ(wide_to_multi_byte(cp_utf8, u"abc", -1, dst, -5), 0);
  EXPECT_EQ(wide_to_multi_byte(cp_gbk, u"abc", -1, nullptr, 8), 0);
}

// The GBK measures are taken without converting; they must agree with ICU everywhere.
TEST(GbkMeasure, AgreesWithIcuOnEveryOneAndTwoByteSequence) {
  IcuGbk icu;
  for (int first = 1; first < 256; ++first) {
    const std::string one(1, static_cast<char>(first));
    ASSERT_EQ(multi_byte_to_wide(cp_gbk, one.data(), 1, nullptr, 0),
              static_cast<int>(icu.decode(one).size()))
        << hex(one);
    for (int second = 1; second < 256; ++second) {
      const std::string two = one + static_cast<char>(second);
      ASSERT_EQ(multi_byte_to_wide(cp_gbk, two.data(), 2, nullptr, 0),
                static_cast<int>(icu.decode(two).size()))
          << hex(two);
    }
  }
}

TEST(GbkMeasure, AgreesWithIcuOnMixedBytes) {
  IcuGbk icu;
  // Bytes chosen around the edges of the lead and trail ranges.
  const std::string alphabet("a <\x3F\x40\x7E\x7F\x80\x81\xA1\xB8\xD6\xE4\xFE\xFF", 15);
  std::mt19937 random(936);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(1, 40);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    for (int i = length(random); i > 0; --i) bytes += alphabet[pick(random)];
    const std::u16string want = icu.decode(bytes);
    const int n = static_cast<int>(bytes.size());
    ASSERT_EQ(multi_byte_to_wide(cp_gbk, bytes.data(), n, nullptr, 0),
              static_cast<int>(want.size()))
        << hex(bytes);
    std::u16string got(want.size(), u'#');
    ASSERT_EQ(multi_byte_to_wide(cp_gbk, bytes.data(), n, got.data(), static_cast<int>(got.size())),
              static_cast<int>(want.size()));
    ASSERT_EQ(got, want) << hex(bytes);
  }
}

TEST(GbkMeasure, AgreesWithIcuOnEveryCodePoint) {
  IcuGbk icu;
  for (char32_t c = 1; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::u16string unit(1, static_cast<char16_t>(c));
    const std::optional<std::string> mapped = icu.encode(unit);
    // A character GBK lacks is one '?'.
    const std::string want = mapped.value_or("?");
    ASSERT_EQ(wide_to_multi_byte(cp_gbk, unit.data(), 1, nullptr, 0), static_cast<int>(want.size()))
        << "U+" << std::hex << static_cast<unsigned>(c);
    std::string got(want.size(), '\0');
    ASSERT_EQ(wide_to_multi_byte(cp_gbk, unit.data(), 1, got.data(), static_cast<int>(got.size())),
              static_cast<int>(want.size()));
    ASSERT_EQ(got, want) << "U+" << std::hex << static_cast<unsigned>(c);
  }
  // GBK has no supplementary characters: one '?' each, measured and converted.
  ASSERT_FALSE(icu.maps_any(0x10000, 0x10FFFF));
  std::u16string pairs;
  for (char32_t c = 0x10000; c < 0x110000; ++c) {
    pairs.push_back(static_cast<char16_t>(0xD7C0 + (c >> 10)));
    pairs.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
  }
  const int n = static_cast<int>(pairs.size());
  EXPECT_EQ(wide_to_multi_byte(cp_gbk, pairs.data(), n, nullptr, 0), 0x100000);
  std::string got(0x100000, '\0');
  EXPECT_EQ(wide_to_multi_byte(cp_gbk, pairs.data(), n, got.data(), 0x100000), 0x100000);
  EXPECT_EQ(std::count(got.begin(), got.end(), '?'), 0x100000);
}

TEST(GbkMeasure, AgreesWithIcuOnMixedUnits) {
  IcuGbk icu;
  // Units around the edges: mapped, unmapped, ignorable, and surrogates paired or not.
  const char16_t alphabet[] = {u'a',      u'\u4E2D', u'\u20AC', u'\uF8F5', u'\u0E01', u'\u00AD',
                               u'\u200B', 0xD83D,    0xDE00,    0xD800,    0xDC00,    u'\uFFFD'};
  std::mt19937 random(936);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1);
  std::uniform_int_distribution<int> length(1, 30);
  for (int round = 0; round < 20000; ++round) {
    std::u16string units;
    for (int i = length(random); i > 0; --i) units += alphabet[pick(random)];
    // Character by character: ICU's bytes, or one '?' where it has none.
    std::string want;
    for (std::size_t i = 0; i < units.size(); ++i) {
      std::size_t n = 1;
      if (units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size() &&
          units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
        n = 2;
      }
      want += icu.encode(std::u16string_view(units).substr(i, n)).value_or("?");
      i += n - 1;
    }
    const int count = static_cast<int>(units.size());
    const int bytes = static_cast<int>(want.size());
    ASSERT_EQ(wide_to_multi_byte(cp_gbk, units.data(), count, nullptr, 0), bytes);
    std::string got(want.size(), '#');
    ASSERT_EQ(wide_to_multi_byte(cp_gbk, units.data(), count, got.data(), bytes), bytes);
    ASSERT_EQ(hex(got), hex(want));
  }
}

// --- to_wide and from_wide ------------------------------------------------------------

TEST(ToWide, ReadsUtf8UnlessToldAndSizesByTheLongerReading) {
  static const struct {
    const char* what;
    std::string text;
    std::optional<int> code_page;
    std::u16string units;  // the whole wide text, zero units included
  } cases[] = {
      // Three bytes read as GBK are two units and the terminator: the room is three.
      {"UTF-8 by default", "\xE4\xB8\xAD", std::nullopt, std::u16string(u"\u4E2D\0\0", 3)},
      {"GBK when told", "\xD6\xD0", cp_gbk, std::u16string(u"\u4E2D\0", 2)},
      {"ANSI code page", "\xD6\xD0", cp_acp, std::u16string(u"\u4E2D\0", 2)},
      {"ASCII", "ab", std::nullopt, std::u16string(u"ab\0", 3)},
      {"euro sign in GBK", "\x80", cp_gbk, std::u16string(u"\u20AC\0", 2)},
      {"ill-formed UTF-8", "a\xFF\x62", std::nullopt, std::u16string(u"a\uFFFDb\0", 4)},
      // C0 C0 is one GBK character but two broken UTF-8 bytes: the UTF-8 reading
      // needs more room than the measure gives, and gets it.
      {"ill-formed UTF-8 longer than its GBK reading", "\xC0\xC0\xC0\xC0", std::nullopt,
       std::u16string(u"\uFFFD\uFFFD\uFFFD\uFFFD\0", 5)},
      {"unsupported code page: measured, nothing converted", "ab", 1252,
       std::u16string(u"\0\0\0", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes wide = to_wide(Text(c.text), c.code_page);
    EXPECT_EQ(wide.size(), c.units.size() * 2);
    EXPECT_EQ(units_of(wide), c.units);
  }
}

TEST(ToWide, IllFormedUtf8IsNeverCutShort) {
  const std::string text(3001, '\xC0');
  const std::u16string units = units_of(to_wide(Text(text)));
  ASSERT_EQ(units.size(), 3002u);
  EXPECT_EQ(units.substr(0, 3001), std::u16string(3001, u'\uFFFD'));
  EXPECT_EQ(units.back(), u'\0');
}

TEST(ToWide, EmptyTextIsOneZeroUnit) {
  EXPECT_EQ(units_of(to_wide(Text(""))), std::u16string(1, u'\0'));
  EXPECT_EQ(units_of(to_wide(Text())), std::u16string(1, u'\0')) << "absent text";
  EXPECT_EQ(units_of(to_wide(Text(), cp_gbk)), std::u16string(1, u'\0'));
}

TEST(FromWide, WritesTheAnsiCodePageUnlessToldAndStopsAtTheFirstZeroUnit) {
  static const struct {
    const char* what;
    std::string wide;  // raw bytes, low byte first
    std::optional<int> code_page;
    std::string text;
  } cases[] = {
      {"ANSI code page by default", std::string("\x2D\x4E\0\0", 4), std::nullopt, "\xD6\xD0"},
      {"UTF-8 when told", std::string("\x2D\x4E\0\0", 4), cp_utf8, "\xE4\xB8\xAD"},
      {"GBK when told", std::string("\x2D\x4E", 2), cp_gbk, "\xD6\xD0"},
      {"no zero unit: read to the end", std::string("A\0B\0", 4), std::nullopt, "AB"},
      {"stops at the first zero unit", std::string("A\0\0\0B\0", 6), std::nullopt, "A"},
      {"odd last byte is no unit", std::string("A\0B", 3), std::nullopt, "A"},
      {"a zero byte inside a unit is no terminator", std::string("\0\x4E\0\0", 4), cp_utf8,
       "\xE4\xB8\x80"},
      {"euro sign", std::string("\xAC\x20", 2), cp_gbk, "\x80"},
      {"character GBK lacks", std::string("\x01\x0E", 2), std::nullopt, "?"},
      {"empty Bytes", "", std::nullopt, ""},
      {"only a zero unit", std::string("\0\0", 2), cp_utf8, ""},
      {"one byte", "A", cp_utf8, ""},
      {"unsupported code page", std::string("A\0", 2), 1252, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(hex(from_wide(Bytes(c.wide), c.code_page).view()), hex(c.text));
  }
}

TEST(FromWide, ManyEuroSignsInUtf8AreNeverCutShort) {
  // Each is one GBK byte but three UTF-8 bytes, beyond twice the GBK measure.
  const std::u16string euros(3000, u'\u20AC');
  std::string want;
  for (int i = 0; i < 3000; ++i) want += "\xE2\x82\xAC";
  EXPECT_EQ(from_wide(wide_of(euros), cp_utf8).str(), want);
}

// --- ansi_to_utf8 and utf8_to_ansi -----------------------------------------------------

TEST(AnsiUtf8, ConvertsBothWays) {
  static const struct {
    const char* what;
    std::string ansi;
    std::string utf8;
  } cases[] = {
      {"empty", "", ""},
      {"中", "\xD6\xD0", "\xE4\xB8\xAD"},
      {"电信一 and ASCII", "a \xB5\xE7\xD0\xC5\xD2\xBB-1",
       "a \xE7\x94\xB5\xE4\xBF\xA1\xE4\xB8\x80-1"},
      {"0x80 is the euro sign", "\x80", "\xE2\x82\xAC"},
      {"ideographic space", "\xA1\xA1", "\xE3\x80\x80"},
      {"é (a pinyin letter in GBK)", "\xA8\xA6", "\xC3\xA9"},
      {"a line of a player page", gbk("<td>召唤师等级 30</td>"), "<td>召唤师等级 30</td>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(hex(ansi_to_utf8(Text(c.ansi)).view()), hex(c.utf8));
    EXPECT_EQ(hex(utf8_to_ansi(Text(c.utf8)).view()), hex(c.ansi));
  }
}

TEST(AnsiUtf8, EmptyAndAbsentGiveEmpty) {
  EXPECT_TRUE(ansi_to_utf8(Text()).empty());
  EXPECT_TRUE(utf8_to_ansi(Text()).empty());
  EXPECT_TRUE(ansi_to_utf8(Text("")).empty());
  EXPECT_TRUE(utf8_to_ansi(Text("")).empty());
}

TEST(AnsiUtf8, AsciiPassesUnchanged) {
  std::string ascii;
  for (int b = 1; b < 0x80; ++b) ascii += static_cast<char>(b);
  EXPECT_EQ(ansi_to_utf8(Text(ascii)).str(), ascii);
  EXPECT_EQ(utf8_to_ansi(Text(ascii)).str(), ascii);
}

TEST(AnsiUtf8, ReplacesWhatTheOtherSideLacks) {
  static const struct {
    const char* what;
    std::string utf8;
    std::string ansi;
  } cases[] = {
      {"Thai ko kai", "x\xE0\xB8\x81y", "x?y"},
      {"emoji: one '?' for the pair", "x\xF0\x9F\x98\x80y", "x?y"},
      // Broken UTF-8 reads as U+FFFD, which GBK in turn lacks.
      {"ill-formed UTF-8 byte", "x\xFFy", "x?y"},
      {"truncated UTF-8 at the end", "x\xE4\xB8", "x?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(hex(utf8_to_ansi(Text(c.utf8)).view()), hex(c.ansi));
  }
  // A lone GBK lead byte at the end reads as U+FFFD.
  EXPECT_EQ(hex(ansi_to_utf8(Text("a\x81")).view()), hex("a\xEF\xBF\xBD"));
}

TEST(AnsiUtf8, ManyEuroSignsAreNeverCutShort) {
  const std::string ansi(3000, '\x80');
  std::string utf8;
  for (int i = 0; i < 3000; ++i) utf8 += "\xE2\x82\xAC";
  EXPECT_EQ(ansi_to_utf8(Text(ansi)).str(), utf8);
  EXPECT_EQ(utf8_to_ansi(Text(utf8)).str(), ansi);
}

// The two fixed conversions are to_wide then from_wide, whatever the bytes: mixes of
// ASCII, GBK, UTF-8, broken sequences and runs that outgrow the measured room.
TEST(AnsiUtf8, AgreeWithToWideThenFromWide) {
  const std::string pieces[] = {"a",
                                "<td>",
                                "\xD6\xD0",
                                "\xE4\xB8\xAD",
                                "\x80",
                                "\xE2\x82\xAC",
                                "\x81",
                                "\xC0",
                                "\xFF",
                                "\xF0\x9F\x98\x80",
                                "\xE0\xB8\x81",
                                "\xA1\xA1",
                                std::string(40, '\x80'),
                                std::string(40, '\xC0')};
  std::mt19937 random(65001);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(1, 12);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    for (int i = length(random); i > 0; --i) bytes += pieces[pick(random)];
    const Text text(bytes);
    ASSERT_EQ(utf8_to_ansi(text).str(), from_wide(to_wide(text), cp_gbk).str()) << hex(bytes);
    ASSERT_EQ(ansi_to_utf8(text).str(), from_wide(to_wide(text, cp_gbk), cp_utf8).str())
        << hex(bytes);
  }
}

// Every GBK double-byte character that ICU maps both ways survives the round trip, and
// its UTF-8 form is ICU's.
TEST(AnsiUtf8, RoundTripsEveryGbkDoubleByteCharacter) {
  IcuGbk icu;
  int characters = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    std::string row;
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string unit = icu.decode(pair);
      if (unit.size() == 1 && unit[0] != u'\uFFFD' && icu.encode(unit) == pair) row += pair;
    }
    SCOPED_TRACE(hex(std::string(1, static_cast<char>(lead))));
    characters += static_cast<int>(row.size() / 2);
    const Text utf8 = ansi_to_utf8(Text(row));
    EXPECT_EQ(utf8.str(), testing::utf8_from_gbk(row));
    EXPECT_EQ(utf8_to_ansi(utf8).str(), row);
  }
  EXPECT_GT(characters, 21000) << "the reference found too few GBK characters";
}

}  // namespace
}  // namespace tessevin
