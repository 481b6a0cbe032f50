#include "text/url_encode.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "text/convert.h"

namespace tessevin {

namespace {

// Per byte value one 32-bit word: the bytes it is written as, padded to three, and their
// count in the fourth byte. Each input byte is then one table load, one four-byte store
// and one step, with no branch on the byte.
using Table = std::array<std::uint32_t, 256>;

constexpr bool is_kept(int b) {
  return b == '-' || b == '.' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
         (b >= 'a' && b <= 'z');
}

// The word whose bytes in memory are c0 c1 c2 length.
constexpr std::uint32_t pack(char c0, char c1, char c2, int length) {
  const std::array<std::uint32_t, 4> bytes = {
      static_cast<unsigned char>(c0), static_cast<unsigned char>(c1),
      static_cast<unsigned char>(c2), static_cast<std::uint32_t>(length)};
  if constexpr (std::endian::native == std::endian::little) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24;
  } else {
    return bytes[0] << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
  }
}

constexpr std::size_t length_of(std::uint32_t word) {
  if constexpr (std::endian::native == std::endian::little) {
    return word >> 24;
  } else {
    return word & 0xFF;
  }
}

constexpr Table make_table(bool keep_safe) {
  constexpr char digits[] = "0123456789ABCDEF";
  Table table{};
  for (int b = 0; b < 256; ++b) {
    table[static_cast<std::size_t>(b)] = keep_safe && is_kept(b)
                                             ? pack(static_cast<char>(b), 0, 0, 1)
                                             : pack('%', digits[b >> 4], digits[b & 0xF], 3);
  }
  return table;
}

constexpr Table escape_all = make_table(false);
constexpr Table keep_safe_set = make_table(true);

void put(char*& p, std::uint32_t word) {
  std::memcpy(p, &word, sizeof word);
  p += length_of(word);
}

// One pass into a buffer sized for the worst case (three bytes out per byte in) plus the
// one byte of padding the last four-byte store may touch. Four bytes per round keep the
// loop from hanging on its own branch and on where the linker happens to place it.
Text encode(std::string_view bytes, bool keep_safe) {
  const Table& table = keep_safe ? keep_safe_set : escape_all;
  std::string out(bytes.size() * 3 + 1, '\0');
  char* p = out.data();
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* const end = in + bytes.size();
  for (; end - in >= 4; in += 4) {
    const std::uint32_t w0 = table[in[0]];
    const std::uint32_t w1 = table[in[1]];
    const std::uint32_t w2 = table[in[2]];
    const std::uint32_t w3 = table[in[3]];
    put(p, w0);
    put(p, w1);
    put(p, w2);
    put(p, w3);
  }
  for (; in != end; ++in) put(p, table[*in]);
  out.resize(static_cast<std::size_t>(p - out.data()));
  return Text(std::move(out));
}

}  // namespace

Text url_encode(const Text& text, bool keep_safe, bool to_utf8) {
  // Nothing to encode means nothing to convert either.
  if (text.empty()) return Text();
  if (to_utf8) return encode(ansi_to_utf8(text).view(), keep_safe);
  return encode(text.view(), keep_safe);
}

}  // namespace tessevin
