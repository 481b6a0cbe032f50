#include "text/convert.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/codepage.h"

namespace tessevin {

namespace {

using platform::cp_acp;
using platform::cp_gbk;
using platform::cp_utf8;

// 0 and 936 name the same converter; a second measure in it would repeat the first.
bool same_converter(int a, int b) {
  const auto canonical = [](int page) { return page == cp_acp ? cp_gbk : page; };
  return canonical(a) == canonical(b);
}

// The wide text's storage as UTF-16 units. Bytes keeps its bytes in heap or in-object
// storage that is aligned for char16_t, and on a little-endian machine the units are
// already low byte first, so the platform layer reads and writes that storage
// directly; anywhere else a copy is made.
constexpr bool native_wide = std::endian::native == std::endian::little;

char16_t* units_of(Bytes& wide) { return reinterpret_cast<char16_t*>(wide.data()); }

bool is_unit_aligned(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p) % alignof(char16_t) == 0;
}

void swap_to_little_endian(Bytes& wide) {
  if constexpr (!native_wide) {
    unsigned char* p = wide.data();
    for (std::size_t i = 0; i + 1 < wide.size(); i += 2) std::swap(p[i], p[i + 1]);
  }
}

// The units of a wide text up to its first zero unit or the end of the Bytes (an odd
// last byte is no unit).
class WideReader {
 public:
  explicit WideReader(const Bytes& wide) {
    const std::size_t count = wide.size() / 2;
    if (native_wide && is_unit_aligned(wide.data())) {
      units_ = reinterpret_cast<const char16_t*>(wide.data());
      length_ = std::u16string_view(units_, count).find(u'\0');
      if (length_ == std::u16string_view::npos) length_ = count;
      return;
    }
    const unsigned char* p = wide.data();
    for (std::size_t i = 0; i < count; ++i) {
      const auto unit = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
      if (unit == 0) break;
      copy_.push_back(unit);
    }
    units_ = copy_.data();
    length_ = copy_.size();
  }

  [[nodiscard]] const char16_t* data() const { return units_; }
  [[nodiscard]] std::size_t size() const { return length_; }

 private:
  std::u16string copy_;
  const char16_t* units_ = nullptr;
  std::size_t length_ = 0;
};

// The steps of to_wide, leaving the units in the machine's own order.
Bytes make_wide(const Text& text, int page) {
  // The absent text reads as the empty text, which still gives its terminating unit.
  const char* source = text.str().c_str();

  // The room is measured in the ANSI code page, as the callers' arithmetic expects.
  int n = platform::multi_byte_to_wide(cp_acp, source, -1, nullptr, 0);
  if (n <= 0 || n > INT_MAX / 2) return Bytes();
  Bytes wide = blank_bytes(2 * n);
  int written = platform::multi_byte_to_wide(page, source, -1, units_of(wide), n);
  // Text that reads longer in `page` (ill-formed UTF-8, say) gets the room it needs
  // instead of being cut short.
  if (written == 0 && !same_converter(page, cp_acp)) {
    const int needed = platform::multi_byte_to_wide(page, source, -1, nullptr, 0);
    if (needed > n && needed <= INT_MAX / 2) {
      n = needed;
      wide = blank_bytes(2 * n);
      written = platform::multi_byte_to_wide(page, source, -1, units_of(wide), n);
    }
  }
  // A conversion that failed leaves a wide text without characters, never a cut one.
  if (written == 0) std::fill_n(wide.data(), wide.size(), 0);
  return wide;
}

// The steps of from_wide for the `count` units before the terminator.
Text write_units(const char16_t* units, std::size_t count, int page) {
  if (count == 0) return Text();
  const auto length = static_cast<int>(std::min<std::size_t>(count, INT_MAX - 1));

  // Measured in the ANSI code page, terminator counted in; the room is twice that.
  const int measured = platform::wide_to_multi_byte(cp_acp, units, length, nullptr, 0);
  if (measured <= 0) return Text();
  int room = static_cast<int>(std::min<std::int64_t>(2 * (std::int64_t{measured} + 1), INT_MAX));
  std::string buffer(static_cast<std::size_t>(room), '\0');
  int written = platform::wide_to_multi_byte(page, units, length, buffer.data(), room);
  // Characters of one GBK byte and three UTF-8 bytes (the euro sign) can outgrow that
  // room: give the exact room instead of cutting the text.
  if (written == 0 && !same_converter(page, cp_acp)) {
    const int needed = platform::wide_to_multi_byte(page, units, length, nullptr, 0);
    if (needed > room) {
      room = needed;
      buffer.assign(static_cast<std::size_t>(room), '\0');
      written = platform::wide_to_multi_byte(page, units, length, buffer.data(), room);
    }
  }
  if (written <= 0) return Text();
  buffer.resize(static_cast<std::size_t>(written));
  return Text(std::move(buffer));
}

// From one code page to another through the wide text, giving exactly
// from_wide(to_wide(text, from), to). The wide text never leaves here, so it goes into a
// buffer this thread keeps, in the machine's unit order, with its length known without a
// scan. Every byte read gives at most one unit (a UTF-8 four-byte character gives two),
// so a room of one unit per byte is never too small and no measure is needed to size it.
Text convert_through_wide(const Text& text, int from, int to) {
  if (text.empty()) return Text();
  if (text.size() >= static_cast<std::size_t>(INT_MAX)) return Text();
  thread_local std::u16string scratch;
  // Enough for the pages the program reads; a freak page's buffer is not kept.
  constexpr std::size_t kept_units = std::size_t{4} << 20;
  if (scratch.size() < text.size() + 1) scratch.resize(text.size() + 1);
  const int units =
      platform::multi_byte_to_wide(from, text.str().data(), static_cast<int>(text.size()),
                                   scratch.data(), static_cast<int>(text.size() + 1));
  Text converted = write_units(scratch.data(), static_cast<std::size_t>(std::max(units, 0)), to);
  if (scratch.size() > kept_units) std::u16string().swap(scratch);
  return converted;
}

}  // namespace

Bytes to_wide(const Text& text, std::optional<int> code_page) {
  Bytes wide = make_wide(text, code_page.value_or(cp_utf8));
  swap_to_little_endian(wide);
  return wide;
}

Text from_wide(const Bytes& wide, std::optional<int> code_page) {
  const WideReader units(wide);
  return write_units(units.data(), units.size(), code_page.value_or(cp_acp));
}

Text ansi_to_utf8(const Text& text) { return convert_through_wide(text, cp_gbk, cp_utf8); }

Text utf8_to_ansi(const Text& text) { return convert_through_wide(text, cp_utf8, cp_gbk); }

}  // namespace tessevin
