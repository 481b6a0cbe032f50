// The two code-page conversions, ansi_to_utf8 and utf8_to_ansi, and the wide-text steps
// they are defined by.
//
// Input: one option byte, then the text. Properties:
// - each conversion gives exactly from_wide(to_wide(...)) with the code pages it names;
// - ansi_to_utf8 always gives well-formed UTF-8;
// - ASCII comes out of both conversions unchanged;
// - well-formed GBK comes back from UTF-8 unchanged when it read without replacement
//   characters, and well-formed UTF-8 comes back from GBK unchanged when code page 936
//   had every character (no '?' appeared);
// - with option bit 0 set, well-formed UTF-8 repeated past the length at which the
//   GBK writer changes method converts to the same repetition of its short result;
// - with option bit 1 set, the bytes after the option byte are also read as a wide
//   text (any units, lone surrogates included): from_wide gives well-formed UTF-8,
//   and in GBK a long repetition of the units again gives the repeated short result.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "text/convert.h"
#include "text/text.h"

namespace {

using tessevin::fuzz::check;
using tessevin::fuzz::shown;

// The UTF-16 unit count of well-formed UTF-8 (shortest forms, no surrogates, at most
// U+10FFFF); nothing when the bytes are not well-formed.
std::optional<std::size_t> utf8_units(std::string_view s) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    std::uint32_t c = 0;
    if (b < 0x80) {
      n = 1;
      c = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 2;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 3;
      c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 4;
      c = b & 0x07;
    } else {
      return std::nullopt;
    }
    if (s.size() - i < n) return std::nullopt;
    for (std::size_t k = 1; k < n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return std::nullopt;
      c = c << 6 | (t & 0x3F);
    }
    const bool shortest = (n == 3 && c >= 0x800) || (n == 4 && c >= 0x10000) || n < 3;
    if (!shortest || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return std::nullopt;
    units += c >= 0x10000 ? 2 : 1;
    i += n;
  }
  return units;
}

// Whether every byte is ASCII or a GBK lead byte (0x81-0xFE) with a trail byte
// (0x40-0x7E, 0x80-0xFE) after it.
bool is_gbk_form(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b == 0x80 || b == 0xFF || i + 1 == s.size()) return false;
    const auto t = static_cast<unsigned char>(s[i + 1]);
    if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
    i += 2;
  }
  return true;
}

bool is_ascii(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string repeated(std::string_view s, std::size_t times) {
  std::string out;
  out.reserve(s.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += s;
  return out;
}

// The GBK writer turns to its table from this many UTF-16 units on; the repetition
// goes a little past it.
constexpr std::size_t kLongUnits = 16 * 1024 + 16;

bool is_lead_surrogate(std::string_view wide, std::size_t unit) {
  const auto high = static_cast<unsigned char>(wide[2 * unit + 1]);
  return high >= 0xD8 && high <= 0xDB;
}

// Arbitrary UTF-16 units, low byte first, read up to the first zero unit.
void check_wide(std::string_view bytes) {
  using tessevin::Bytes;
  using tessevin::from_wide;
  std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0) units = i;
  }
  const std::string_view wide = bytes.substr(0, 2 * units);
  const auto describe = [&](const char* what) {
    return std::string(what) + " for the wide text " + shown(wide);
  };
  const tessevin::Text utf8 = from_wide(Bytes(bytes), 65001);
  check(utf8_units(utf8.view()).has_value(),
        [&] { return describe("from_wide gave ill-formed UTF-8"); });
  const tessevin::Text gbk = from_wide(Bytes(wide), 936);
  // A lead surrogate at the end would pair with the first unit of the next copy.
  if (units == 0 || is_lead_surrogate(wide, units - 1)) return;
  const std::size_t times = kLongUnits / units + 1;
  const tessevin::Text long_gbk = from_wide(Bytes(repeated(wide, times)), 936);
  check(long_gbk.view() == repeated(gbk.view(), times), [&] {
    return describe("a long wide text was written differently from its short piece") + ": " +
           shown(gbk.view()) + " " + std::to_string(times) + " times";
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  fuzz::Input in(data, size);
  const std::uint8_t options = in.byte();
  const Text text(in.rest());
  const std::string_view t = text.view();

  const Text utf8 = ansi_to_utf8(text);
  const Text gbk = utf8_to_ansi(text);
  const auto describe = [&](const char* what) {
    return std::string(what) + " for " + shown(t) + ": ansi_to_utf8 gave " + shown(utf8.view()) +
           ", utf8_to_ansi gave " + shown(gbk.view());
  };

  const Bytes wide_gbk = to_wide(text, 936);
  const Bytes wide_utf8 = to_wide(text);
  for (const Bytes* wide : {&wide_gbk, &wide_utf8}) {
    const std::string_view w = wide->view();
    check(w.size() % 2 == 0 && (w.empty() || w.substr(w.size() - 2) == std::string_view("\0\0", 2)),
          [&] { return describe("a wide text without its terminating unit") + ": " + shown(w); });
  }
  check(to_wide(text, 0).view() == wide_gbk.view(),
        [&] { return describe("code page 0 read differently from 936"); });
  check(utf8.view() == from_wide(wide_gbk, 65001).view(), [&] {
    return describe("ansi_to_utf8 differs from its wide-text steps") + ", the steps gave " +
           shown(from_wide(wide_gbk, 65001).view());
  });
  check(gbk.view() == from_wide(wide_utf8, 936).view(), [&] {
    return describe("utf8_to_ansi differs from its wide-text steps") + ", the steps gave " +
           shown(from_wide(wide_utf8, 936).view());
  });
  check(from_wide(wide_utf8).view() == gbk.view(),
        [&] { return describe("from_wide without a code page does not write code page 936"); });

  check(utf8_units(utf8.view()).has_value(),
        [&] { return describe("ansi_to_utf8 gave ill-formed UTF-8"); });

  if (is_ascii(t)) {
    check(utf8.view() == t && gbk.view() == t,
          [&] { return describe("ASCII did not pass through unchanged"); });
  }

  constexpr std::string_view replacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
  if (is_gbk_form(t) && utf8.view().find(replacement) == std::string_view::npos) {
    const Text back = utf8_to_ansi(utf8);
    check(back.view() == t, [&] {
      return describe("GBK did not come back from UTF-8") + ", it came back as " +
             shown(back.view());
    });
  }

  const std::optional<std::size_t> units = utf8_units(t);
  if (units && std::count(t.begin(), t.end(), '?') ==
                   std::count(gbk.view().begin(), gbk.view().end(), '?')) {
    const Text back = ansi_to_utf8(gbk);
    check(back.view() == t, [&] {
      return describe("UTF-8 did not come back from GBK") + ", it came back as " +
             shown(back.view());
    });
  }

  if ((options & 2) != 0) check_wide(in.rest());

  if ((options & 1) != 0 && units && *units > 0) {
    const std::size_t times = kLongUnits / *units + 1;
    const Text long_text(repeated(t, times));
    const Text long_gbk = utf8_to_ansi(long_text);
    check(long_gbk.view() == repeated(gbk.view(), times), [&] {
      return describe("a long text converted differently from its short piece") + " (" +
             std::to_string(times) + " times)";
    });
  }
  return 0;
}
