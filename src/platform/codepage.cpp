#include "platform/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace tessevin::platform {

namespace {

constexpr UChar32 replacement_char = 0xFFFD;

// ICU's name for the Windows flavour of GBK (0x80 is the euro sign, 0xFF is U+F8F5).
constexpr const char* gbk_name = "windows-936";

// ICU's own substitution silently drops unmappable "default ignorable" characters
// (U+200B, the tag characters, ...); this writes the '?' for them as for any other.
void substitute_every_character(const void* /*context*/, UConverterFromUnicodeArgs* args,
                                const UChar* /*units*/, int32_t /*length*/, UChar32 /*c*/,
                                UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  *status = U_ZERO_ERROR;
  ucnv_cbFromUWriteSub(args, 0, status);
}

// windows-936 writing one '?' per character it lacks, a supplementary one included;
// nullptr when ICU cannot open it.
UConverter* open_gbk() {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(gbk_name, &status);
  ucnv_setSubstChars(converter, "?", 1, &status);
  ucnv_setFromUCallBack(converter, substitute_every_character, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) {
    ucnv_close(converter);
    return nullptr;
  }
  return converter;
}

// Opening a converter costs far more than a short conversion, so each thread keeps one.
class GbkConverter {
 public:
  GbkConverter() : converter_(open_gbk()) {}
  ~GbkConverter() { ucnv_close(converter_); }
  GbkConverter(const GbkConverter&) = delete;
  GbkConverter& operator=(const GbkConverter&) = delete;

  [[nodiscard]] UConverter* get() const { return converter_; }

 private:
  UConverter* converter_ = nullptr;
};

UConverter* gbk_converter() {
  thread_local GbkConverter converter;
  return converter.get();
}

enum class Page { gbk, utf8, unsupported };

Page page_of(int code_page) {
  switch (code_page) {
    case cp_acp:
    case cp_gbk:
      return Page::gbk;
    case cp_utf8:
      return Page::utf8;
    default:
      return Page::unsupported;
  }
}

// --- GBK by table -------------------------------------------------------------------
//
// Measuring is half of every conversion the text layer makes, so GBK is measured by
// rule and table instead of by a throw-away ICU conversion, and written by the same
// table (ICU's from-Unicode path is the slow half of reading a page). The table is
// ICU's own mapping, read out once; the unit tests hold the rule and the table to ICU's
// answers over every byte pair and every code point.

// windows-936 reads every byte as one character, except that a lead byte 0x81..0xFE
// followed by a trail byte 0x40..0x7E or 0x80..0xFE forms one two-byte character.
// Every other byte is a valid single byte or lead byte of its own, so a broken
// sequence never swallows the next byte; each character gives one UTF-16 unit, the
// U+FFFD of a broken one included.
constexpr bool is_gbk_lead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
constexpr bool is_gbk_trail(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

std::size_t gbk_units(const unsigned char* p, std::size_t n) {
  const unsigned char* const end = p + n;
  std::size_t units = 0;
  while (p != end) {
    // Runs of ASCII, eight bytes at a time.
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      if ((word & 0x8080808080808080ULL) != 0) break;
      p += 8;
      units += 8;
    }
    if (p == end) break;
    const unsigned char b = *p++;
    ++units;
    if (is_gbk_lead(b) && p != end && is_gbk_trail(*p)) ++p;
  }
  return units;
}

// windows-936's bytes for each BMP code point, '?' for those it lacks: below 0x100 one
// byte, else lead byte << 8 | trail byte (every lead byte is 0x81 or above). The
// surrogate entries are unused. Read out of ICU once.
class GbkTable {
 public:
  GbkTable() {
    UConverter* converter = open_gbk();
    if (converter == nullptr) return;
    // All BMP code points but the surrogates, in one conversion with offsets, so every
    // output byte names the code point it came from.
    std::vector<UChar> source;
    source.reserve(0x10000);
    for (std::uint32_t c = 0; c < 0x10000; ++c) {
      if (!U16_IS_SURROGATE(c)) source.push_back(static_cast<UChar>(c));
    }
    std::vector<char> target(source.size() * 2);
    std::vector<int32_t> offsets(target.size());
    char* out = target.data();
    const UChar* in = source.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_fromUnicode(converter, &out, target.data() + target.size(), &in,
                     source.data() + source.size(), offsets.data(), true, &status);
    ucnv_close(converter);
    if (U_FAILURE(status) || in != source.data() + source.size()) return;
    std::array<std::uint8_t, 0x10000> count{};
    for (std::size_t i = 0; i < static_cast<std::size_t>(out - target.data()); ++i) {
      if (offsets[i] < 0) return;
      const char16_t c = source[static_cast<std::size_t>(offsets[i])];
      codes_[c] =
          static_cast<std::uint16_t>(codes_[c] << 8 | static_cast<unsigned char>(target[i]));
      ++count[c];
    }
    for (const char16_t c : source) {
      // Exactly one or two bytes, and two only with a lead byte: else the layout above
      // cannot hold the mapping, and this table is not used.
      if (count[c] == 0 || count[c] > 2 || (count[c] == 2) != (codes_[c] > 0xFF)) return;
    }
    ready_ = true;
  }

  [[nodiscard]] bool ready() const { return ready_; }
  [[nodiscard]] std::uint16_t code(char16_t unit) const { return codes_[unit]; }

 private:
  std::array<std::uint16_t, 0x10000> codes_{};
  bool ready_ = false;
};

const GbkTable& gbk_table() {
  static const GbkTable table;
  return table;
}

// Whether the next four units are ASCII.
bool ascii4(const char16_t* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return (word & 0xFF80FF80FF80FF80ULL) == 0;
}

// The code of the character at p, stepping over it: a surrogate pair is one character
// GBK lacks, and so is a lone surrogate.
std::uint16_t next_code(const char16_t*& p, const char16_t* end, const GbkTable& table) {
  const char16_t unit = *p++;
  if (!U16_IS_SURROGATE(unit)) return table.code(unit);
  if (U16_IS_LEAD(unit) && p != end && U16_IS_TRAIL(*p)) ++p;
  return '?';
}

std::size_t gbk_bytes(const char16_t* p, std::size_t n, const GbkTable& table) {
  const char16_t* const end = p + n;
  std::size_t bytes = 0;
  while (p != end) {
    // Runs of ASCII (markup, mostly), four units at a time.
    while (end - p >= 4 && ascii4(p)) {
      p += 4;
      bytes += 4;
    }
    if (p == end) break;
    bytes += next_code(p, end, table) > 0xFF ? 2 : 1;
  }
  return bytes;
}

// Writes the GBK bytes of n units into a room of `room` bytes: the number written, or
// nothing when they do not all fit (dst then holds the characters that fitted).
std::optional<std::size_t> gbk_write(const char16_t* p, std::size_t n, char* dst, std::size_t room,
                                     const GbkTable& table) {
  const char16_t* const end = p + n;
  char* out = dst;
  char* const out_end = dst + room;
  while (p != end) {
    while (end - p >= 4 && out_end - out >= 4 && ascii4(p)) {
      for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(p[i]);
      p += 4;
      out += 4;
    }
    if (p == end) break;
    const std::uint16_t code = next_code(p, end, table);
    if (code > 0xFF) {
      if (out_end - out < 2) return std::nullopt;
      out[0] = static_cast<char>(code >> 8);
      out[1] = static_cast<char>(code & 0xFF);
      out += 2;
    } else {
      if (out == out_end) return std::nullopt;
      *out++ = static_cast<char>(code);
    }
  }
  return static_cast<std::size_t>(out - dst);
}

// Below this many UTF-16 units, GBK is written by ICU directly and not by the table.
constexpr std::size_t table_threshold = 16 * 1024;

// --- Answers ------------------------------------------------------------------------

// The answer for `length` units or bytes, plus the terminator when the caller counted
// it in; 0 when that does not fit an int.
int answer(std::size_t length, bool with_terminator) {
  const std::size_t total = length + (with_terminator ? 1 : 0);
  return total > static_cast<std::size_t>(INT_MAX) ? 0 : static_cast<int>(total);
}

// After converting `length` units into a room of `room`: the answer, writing the
// terminator when one was asked for and fits.
template <typename Unit>
int finish(Unit* dst, int room, int32_t length, bool with_terminator) {
  if (length > room) return 0;
  if (!with_terminator) return length;
  if (length == room) return 0;
  dst[length] = Unit{0};
  return length + 1;
}

}  // namespace

int multi_byte_to_wide(int code_page, const char* src, int src_len, char16_t* dst, int room) {
  const Page page = page_of(code_page);
  if (page == Page::unsupported || src == nullptr || src_len < -1 || room < 0) return 0;
  if (room > 0 && dst == nullptr) return 0;
  const bool with_terminator = src_len == -1;
  const std::size_t length = with_terminator ? std::strlen(src) : static_cast<std::size_t>(src_len);
  if (length > static_cast<std::size_t>(INT32_MAX)) return 0;
  const auto n = static_cast<int32_t>(length);

  UErrorCode status = U_ZERO_ERROR;
  int32_t units = 0;
  if (page == Page::gbk) {
    UConverter* converter = gbk_converter();
    if (converter == nullptr) return 0;
    if (room == 0) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(src);
      return answer(gbk_units(bytes, length), with_terminator);
    }
    units = ucnv_toUChars(converter, dst, room, src, n, &status);
  } else {
    u_strFromUTF8WithSub(room == 0 ? nullptr : dst, room, &units, src, n, replacement_char, nullptr,
                         &status);
  }
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    if (room == 0) return answer(static_cast<std::size_t>(units), with_terminator);
    return 0;
  }
  if (U_FAILURE(status)) return 0;
  if (room == 0) return answer(static_cast<std::size_t>(units), with_terminator);
  return finish(dst, room, units, with_terminator);
}

int wide_to_multi_byte(int code_page, const char16_t* src, int src_len, char* dst, int room) {
  const Page page = page_of(code_page);
  if (page == Page::unsupported || src == nullptr || src_len < -1 || room < 0) return 0;
  if (room > 0 && dst == nullptr) return 0;
  const bool with_terminator = src_len == -1;
  const std::size_t length =
      with_terminator ? static_cast<std::size_t>(u_strlen(src)) : static_cast<std::size_t>(src_len);
  if (page == Page::gbk && length < table_threshold) {
    // Short texts (captions, names, paths) go straight through ICU: reading the
    // table out costs as much as one conversion of some 64K characters, and a run
    // that only ever converts short texts, start-up among them, never needs it.
    UConverter* converter = gbk_converter();
    if (converter == nullptr) return 0;
    UErrorCode status = U_ZERO_ERROR;
    const int32_t bytes = ucnv_fromUChars(converter, room == 0 ? nullptr : dst, room, src,
                                          static_cast<int32_t>(length), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      return room == 0 ? answer(static_cast<std::size_t>(bytes), with_terminator) : 0;
    }
    if (U_FAILURE(status)) return 0;
    if (room == 0) return answer(static_cast<std::size_t>(bytes), with_terminator);
    return finish(dst, room, bytes, with_terminator);
  }
  if (page == Page::gbk) {
    const GbkTable& table = gbk_table();
    if (!table.ready()) return 0;
    if (room == 0) return answer(gbk_bytes(src, length, table), with_terminator);
    const std::optional<std::size_t> written =
        gbk_write(src, length, dst, static_cast<std::size_t>(room), table);
    if (!written) return 0;
    return finish(dst, room, static_cast<int32_t>(*written), with_terminator);
  }

  UErrorCode status = U_ZERO_ERROR;
  int32_t bytes = 0;
  u_strToUTF8WithSub(room == 0 ? nullptr : dst, room, &bytes, src, static_cast<int32_t>(length),
                     replacement_char, nullptr, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    if (room == 0) return answer(static_cast<std::size_t>(bytes), with_terminator);
    return 0;
  }
  if (U_FAILURE(status)) return 0;
  if (room == 0) return answer(static_cast<std::size_t>(bytes), with_terminator);
  return finish(dst, room, bytes, with_terminator);
}

}  // namespace tessevin::platform
