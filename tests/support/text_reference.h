// Reference rules of the text scans, written out step by step on plain bytes, the
// slow and obvious way: one character at a time, two bytes from every byte of 0x80 or
// above. The exhaustive unit tests and the fuzz targets compare the real operations
// with these. No Text, no test framework: only the standard library.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessevin::testing {

// Bytes as a C-like literal: printable ASCII as is, everything else as \xNN, so a
// failure shows where a two-byte character was cut or a lead byte was dropped.
[[nodiscard]] inline std::string shown(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += digits[c >> 4];
      out += digits[c & 0xF];
    }
  }
  return out + '"';
}

[[nodiscard]] inline bool is_high(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Byte-wise comparison; with `fold`, A-Z count as a-z on both sides, every byte.
[[nodiscard]] inline bool same_bytes(std::string_view a, std::string_view b, bool fold) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (fold && x >= 'A' && x <= 'Z') x += 0x20;
    if (fold && y >= 'A' && y <= 'Z') y += 0x20;
    if (x != y) return false;
  }
  return true;
}

// The forward search: the scan begins at start - 1 (or 0) and steps one character at
// a time, two bytes from every byte of 0x80 or above.
[[nodiscard]] inline int reference_find(std::string_view t, std::string_view needle,
                                        std::optional<int> start, bool case_insensitive) {
  const long long length = static_cast<long long>(t.size());
  const long long n = static_cast<long long>(needle.size());
  const long long s = (start && *start >= 1) ? *start - 1LL : 0;
  if (s >= length) return -1;
  if (n == 0) return 1;
  for (long long p = s; length - p >= n;) {
    if (same_bytes(t.substr(static_cast<std::size_t>(p), static_cast<std::size_t>(n)), needle,
                   case_insensitive)) {
      return static_cast<int>(p + 1);
    }
    p += is_high(t[static_cast<std::size_t>(p)]) ? 2 : 1;
  }
  return -1;
}

// The backward search: a forward scan from the first byte that keeps the last match
// lying wholly inside the first start - 1 bytes.
[[nodiscard]] inline int reference_find_reverse(std::string_view t, std::string_view needle,
                                                std::optional<int> start, bool case_insensitive) {
  const long long length = static_cast<long long>(t.size());
  const long long n = static_cast<long long>(needle.size());
  long long w = length;
  if (start) w = *start < 1 ? 0 : std::min(*start - 1LL, length);
  if (n == 0) return w > 0 ? 1 : -1;
  int found = -1;
  for (long long p = 0; w - p >= n;) {
    const auto at = static_cast<std::size_t>(p);
    if (same_bytes(t.substr(at, static_cast<std::size_t>(n)), needle, case_insensitive)) {
      found = static_cast<int>(p + 1);
    }
    p += is_high(t[at]) ? 2 : 1;
  }
  return found;
}

[[nodiscard]] inline std::string reference_replace(std::string_view t, std::string_view target,
                                                   std::string_view replacement,
                                                   std::optional<int> start,
                                                   std::optional<int> count, bool case_sensitive) {
  const long long length = static_cast<long long>(t.size());
  const long long n = static_cast<long long>(target.size());
  const long long s = (start && *start >= 1) ? *start - 1LL : 0;
  const bool limited = count && *count >= 0;
  const long long limit = limited ? *count : 0;
  if (length == 0 || n == 0 || s >= length || (limited && limit == 0)) return std::string(t);
  std::string out(t.substr(0, static_cast<std::size_t>(s)));
  long long p = s;
  long long made = 0;
  while (length - p >= n) {
    const auto at = static_cast<std::size_t>(p);
    if (same_bytes(t.substr(at, static_cast<std::size_t>(n)), target, !case_sensitive)) {
      out += replacement;
      p += n;
      if (limited && ++made == limit) break;
    } else if (is_high(t[at])) {
      if (p + 1 < length) out += t.substr(at, 2);  // a lead byte at the end is dropped
      p += 2;
    } else {
      out += t[at];
      p += 1;
    }
  }
  if (p < length) out += t.substr(static_cast<std::size_t>(p));
  return out;
}

[[nodiscard]] inline std::vector<std::string> reference_split(std::string_view t,
                                                              std::optional<std::string> separator,
                                                              std::optional<int> max_count) {
  const std::string sep = separator.value_or(",");
  const bool limited = max_count.has_value();
  const std::size_t limit = limited ? static_cast<std::size_t>(std::max(*max_count, 0)) : 0;
  if (t.empty() || (limited && limit == 0)) return {};
  if (sep.empty()) return {std::string(t)};
  std::vector<std::string> out;
  std::size_t piece = 0;
  std::size_t p = 0;
  while (p < t.size()) {
    if (t.size() - p >= sep.size() && t.substr(p, sep.size()) == sep) {
      out.emplace_back(t.substr(piece, p - piece));
      p += sep.size();
      piece = p;
      if (limited && out.size() == limit) return out;
      continue;
    }
    p += is_high(t[p]) ? 2 : 1;
  }
  if (piece < t.size()) out.emplace_back(t.substr(piece));
  return out;
}

// The characters of t as [begin, end) offsets; a lead byte at the very end is no
// character.
[[nodiscard]] inline std::vector<std::pair<std::size_t, std::size_t>> characters(
    std::string_view t) {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  for (std::size_t p = 0; p < t.size();) {
    const std::size_t step = is_high(t[p]) ? 2 : 1;
    if (p + step > t.size()) break;
    out.emplace_back(p, p + step);
    p += step;
  }
  return out;
}

[[nodiscard]] inline bool is_space_character(std::string_view c) {
  return c == " " || c == "\xA1\xA1";
}

[[nodiscard]] inline std::string reference_trim(std::string_view t) {
  const auto chars = characters(t);
  const auto char_at = [&](std::size_t i) {
    return t.substr(chars[i].first, chars[i].second - chars[i].first);
  };
  std::size_t first = 0;
  while (first < chars.size() && is_space_character(char_at(first))) ++first;
  std::size_t end = chars.size();
  while (end > first && is_space_character(char_at(end - 1))) --end;
  if (first == end) return "";
  return std::string(t.substr(chars[first].first, chars[end - 1].second - chars[first].first));
}

[[nodiscard]] inline std::string reference_remove_spaces(std::string_view t) {
  std::string out;
  for (const auto& [b, e] : characters(t)) {
    if (!is_space_character(t.substr(b, e - b))) out += t.substr(b, e - b);
  }
  return out;
}

[[nodiscard]] inline int reference_to_int(std::string_view t) {
  std::string ascii;
  for (std::size_t p = 0; p < t.size();) {
    const auto c = static_cast<unsigned char>(t[p]);
    if (c >= 0x80 && p + 1 < t.size()) {
      const auto c2 = static_cast<unsigned char>(t[p + 1]);
      if (c == 0xA3 && c2 >= 0xA1 && c2 <= 0xFE) {
        ascii += static_cast<char>(c2 - 0x80);
      } else if (c == 0xA1 && c2 == 0xA1) {
        ascii += ' ';
      } else {
        ascii += t.substr(p, 2);
      }
      p += 2;
    } else {
      ascii += t[p];
      p += 1;
    }
  }
  std::size_t i = 0;
  while (i < ascii.size() &&
         std::string_view(" \t\n\v\f\r").find(ascii[i]) != std::string_view::npos)
    ++i;
  bool negative = false;
  if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) negative = ascii[i++] == '-';
  std::uint32_t value = 0;
  for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(ascii[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

// The marker cut: quote tokens in the markers read as '"', the left marker found from
// `start`, the right one from just after it, and the bytes between.
[[nodiscard]] inline std::string reference_extract(std::string_view source, std::string_view left,
                                                   std::string_view right, std::optional<int> start,
                                                   bool folded) {
  constexpr std::string_view token = "#\xD2\xFD\xBA\xC5";  // "#引号" in GBK
  const std::string lm = reference_replace(left, token, "\"", std::nullopt, std::nullopt, true);
  const std::string rm = reference_replace(right, token, "\"", std::nullopt, std::nullopt, true);
  int p = reference_find(source, lm, start.value_or(0), folded);
  if (p != -1) p += static_cast<int>(lm.size());
  const int q = reference_find(source, rm, p, folded);
  if (p == -1 || q == -1 || q - p <= 0) return "";
  return std::string(
      source.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(q - p)));
}

}  // namespace tessevin::testing
