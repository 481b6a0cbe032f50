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

// A wide text in the machine's own unit order, and the number of units before its
// terminating zero.
struct Wide {
  Bytes bytes;
  std::size_t length = 0;
};

Wide make_wide(const Text& text, int page) {
  // The absent text reads as the empty text, which still gives its terminating unit.
  const char* source = text.str().c_str();

  // The room is measured in the ANSI code page, as the callers' arithmetic expects.
  int n = platform::multi_byte_to_wide(cp_acp, source, -1, nullptr, 0);
  if (n <= 0 || n > INT_MAX / 2) return {};
  Wide wide{blank_bytes(2 * n), 0};
  int written = platform::multi_byte_to_wide(page, source, -1, units_of(wide.bytes), n);
  // Text that reads longer in `page` (ill-formed UTF-8, say) gets the room it needs
  // instead of being cut short.
  if (written == 0 && !same_converter(page, cp_acp)) {
    const int needed = platform::multi_byte_to_wide(page, source, -1, nullptr, 0);
    if (needed > n && needed <= INT_MAX / 2) {
      n = needed;
      wide.bytes = blank_bytes(2 * n);
      written = platform::multi_byte_to_wide(page, source, -1, units_of(wide.bytes), n);
    }
  }
  if (written == 0) {
    // A conversion that failed leaves a wide text without characters, never a cut one.
    std::fill_n(wide.bytes.data(), wide.bytes.size(), 0);
  } else {
    // A Text holds no zero byte, so nothing read from it is a zero unit: the terminator
    // is the first one.
    wide.length = static_cast<std::size_t>(written - 1);
  }
  return wide;
}

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

// From one code page to another through the wide text, which never leaves here: so it
// stays in the machine's unit order and its length is known without a scan.
Text convert_through_wide(const Text& text, int from, int to) {
  Wide wide = make_wide(text, from);
  return write_units(units_of(wide.bytes), wide.length, to);
}

}  // namespace

Bytes to_wide(const Text& text, std::optional<int> code_page) {
  Bytes wide = make_wide(text, code_page.value_or(cp_utf8)).bytes;
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
