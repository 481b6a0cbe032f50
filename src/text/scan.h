// The character-stepping scan shared by the text operations. Offsets are 0-based
// here; the public operations turn them into 1-based positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tessevin::scan {

inline constexpr std::size_t npos = static_cast<std::size_t>(-1);

// One character: two bytes from a byte of 0x80 or above, else one.
[[nodiscard]] inline std::size_t char_step(std::string_view t, std::size_t p) {
  return static_cast<unsigned char>(t[p]) >= 0x80 ? 2 : 1;
}

// Whether offset `at` begins a character for a scan that began at the boundary
// `known` (known <= at). Any byte below 0x80 ends a character, whether it was one on
// its own or the second byte of a pair, so the byte after it is a boundary; from
// there to `at` only bytes of 0x80 and above remain, and those pair up. So only the
// run of high bytes just before `at` needs looking at.
[[nodiscard]] inline bool on_boundary(std::string_view t, std::size_t known, std::size_t at) {
  const auto* data = reinterpret_cast<const unsigned char*>(t.data());
  std::size_t j = at;
  while (j > known && data[j - 1] >= 0x80) --j;
  return ((at - j) & 1) == 0;
}

[[nodiscard]] inline unsigned char fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}

[[nodiscard]] inline bool equal_folded(const unsigned char* a, const unsigned char* b,
                                       std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// The first offset at or after the boundary `from` where `needle` (not empty) starts
// on a character boundary and ends at or before `end`; npos when there is none.
[[nodiscard]] inline std::size_t find(std::string_view t, std::size_t from, std::string_view needle,
                                      std::size_t end, bool case_insensitive) {
  const std::size_t n = needle.size();
  const auto* data = reinterpret_cast<const unsigned char*>(t.data());
  const auto* want = reinterpret_cast<const unsigned char*>(needle.data());
  if (case_insensitive) {
    for (std::size_t p = from; p < end && end - p >= n; p += data[p] >= 0x80 ? 2 : 1) {
      if (equal_folded(data + p, want, n)) return p;
    }
    return npos;
  }
  // memmem finds candidates; one that falls on a second byte is passed over, and the
  // byte after it is a boundary to go on from. The boundary checks never look back
  // past the previous candidate, so the whole search stays linear.
  std::size_t known = from;
  while (known < end && end - known >= n) {
    const void* hit = memmem(data + known, end - known, want, n);
    if (hit == nullptr) return npos;
    const auto at = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
    if (on_boundary(t, known, at)) return at;
    known = at + 1;
  }
  return npos;
}

}  // namespace tessevin::scan
