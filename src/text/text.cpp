#include "text/text.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "text/scan.h"

namespace tessevin {

namespace {

using scan::npos;

std::string_view up_to_zero(std::string_view bytes) {
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  if (zero == nullptr) return bytes;
  return bytes.substr(0, static_cast<const char*>(zero) - bytes.data());
}

// Lengths are reported as int; no value this program handles comes near the limit,
// but a clamp keeps the arithmetic defined if one ever did.
int clamp_length(std::size_t n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }

Text stored(std::string_view bytes) { return Text(bytes); }

bool is_space_at(std::string_view t, std::size_t p) {
  const auto c = static_cast<unsigned char>(t[p]);
  if (c == 0x20) return true;
  return c == 0xA1 && p + 1 < t.size() && static_cast<unsigned char>(t[p + 1]) == 0xA1;
}

}  // namespace

// --- Text ---------------------------------------------------------------------------

Text::Text(const char* zero_terminated) {
  if (zero_terminated == nullptr) return;
  bytes_ = zero_terminated;
  stored_ = true;
}

Text::Text(std::string_view bytes) : bytes_(up_to_zero(bytes)), stored_(true) {}

Text::Text(std::string&& bytes) : bytes_(std::move(bytes)), stored_(true) {
  const std::size_t zero = bytes_.find('\0');
  if (zero != std::string::npos) bytes_.resize(zero);
}

Text& Text::append(std::string_view bytes) {
  stored_ = true;
  bytes_.append(up_to_zero(bytes));
  return *this;
}

const Text& TextList::at(int index) const {
  if (index < 1 || index > count()) fatal_index_error("TextList", index, count());
  return items_[static_cast<std::size_t>(index - 1)];
}

void fatal_index_error(const char* what, int index, int count) {
  std::fprintf(stderr, "tessevin: %s index %d outside 1..%d\n", what, index, count);
  std::abort();
}

int text_length(const Text& t) { return clamp_length(t.size()); }

Text concat_text(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  Text result;
  result.reserve(total);
  for (std::string_view part : parts) result.append(part);
  return result;
}

bool text_equal(const Text& a, const Text& b) { return a.view() == b.view(); }

Text text_left(const Text& t, int n) {
  if (n <= 0) return Text();
  return stored(t.view().substr(0, static_cast<std::size_t>(n)));
}

Text text_right(const Text& t, int n) {
  if (n <= 0) return Text();
  const std::size_t keep = std::min(t.size(), static_cast<std::size_t>(n));
  return stored(t.view().substr(t.size() - keep));
}

Text text_mid(const Text& t, int start, int n) {
  if (start < 1 || n <= 0 || static_cast<std::size_t>(start) > t.size()) return Text();
  return stored(t.view().substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}

int find_text(const Text& t, const Text& needle, std::optional<int> start, bool case_insensitive) {
  const std::size_t length = t.size();
  const std::size_t s = (start && *start >= 1) ? static_cast<std::size_t>(*start) - 1 : 0;
  if (s >= length) return -1;
  if (needle.empty()) return 1;
  const std::size_t at = scan::find(t.view(), s, needle.view(), length, case_insensitive);
  return at == npos ? -1 : clamp_length(at + 1);
}

int find_text_reverse(const Text& t, const Text& needle, std::optional<int> start,
                      bool case_insensitive) {
  const std::size_t length = t.size();
  std::size_t window = length;
  if (start) {
    if (*start < 1) {
      window = 0;
    } else {
      window = std::min(static_cast<std::size_t>(*start) - 1, length);
    }
  }
  if (needle.empty()) return window > 0 ? 1 : -1;
  // Scan forward from the first byte, as the forward search does, and keep the last
  // occurrence that ends inside the window.
  std::size_t last = npos;
  std::size_t from = 0;
  while (from < window) {
    const std::size_t at = scan::find(t.view(), from, needle.view(), window, case_insensitive);
    if (at == npos) break;
    last = at;
    from = at + scan::char_step(t.view(), at);
  }
  return last == npos ? -1 : clamp_length(last + 1);
}

Text replace_text(const Text& t, const Text& target, std::optional<Text> replacement,
                  std::optional<int> start, std::optional<int> count, bool case_sensitive) {
  const std::string_view src = t.view();
  const std::size_t length = src.size();
  const std::size_t n = target.size();
  const std::size_t s = (start && *start >= 1) ? static_cast<std::size_t>(*start) - 1 : 0;
  const bool limited = count.has_value() && *count >= 0;
  if (src.empty() || target.empty() || s >= length || (limited && *count == 0)) return t;

  const std::string_view with = replacement ? replacement->view() : std::string_view();
  std::string out;
  out.reserve(length);
  out.append(src.substr(0, s));
  std::size_t p = s;
  int made = 0;
  while (length - p >= n) {
    const std::size_t at = scan::find(src, p, target.view(), length, !case_sensitive);
    if (at == npos) {
      // The rest is copied a character at a time while the target could still fit;
      // only a one-byte target lets that copy reach a lone lead byte at the very end,
      // which has no second byte to copy and is left out.
      if (n == 1 && scan::on_boundary(src, p, length - 1) &&
          static_cast<unsigned char>(src[length - 1]) >= 0x80) {
        out.append(src.substr(p, length - 1 - p));
        p = length;
      }
      break;
    }
    out.append(src.substr(p, at - p));
    out.append(with);
    p = at + n;
    if (limited && ++made == *count) break;
  }
  if (p < length) out.append(src.substr(p));
  return Text(std::move(out));
}

TextList split_text(const Text& t, std::optional<Text> separator, std::optional<int> max_count) {
  TextList list;
  const int limit = max_count ? std::max(*max_count, 0) : -1;
  if (t.empty() || limit == 0) return list;
  if (separator && separator->empty()) {
    list.append(t);
    return list;
  }
  const std::string_view sep = separator ? separator->view() : std::string_view(",");
  const std::string_view src = t.view();
  std::size_t piece = 0;
  int made = 0;
  while (src.size() - piece >= sep.size()) {
    const std::size_t at = scan::find(src, piece, sep, src.size(), false);
    if (at == npos) break;
    list.append(stored(src.substr(piece, at - piece)));
    piece = at + sep.size();
    if (++made == limit) return list;
  }
  if (piece < src.size()) list.append(stored(src.substr(piece)));
  return list;
}

Text trim_both(const Text& t) {
  const std::string_view src = t.view();
  const std::size_t length = src.size();
  std::size_t p = 0;
  while (p < length && is_space_at(src, p)) p += scan::char_step(src, p);
  const std::size_t begin = p;
  std::size_t end = begin;
  while (p < length) {
    const std::size_t step = scan::char_step(src, p);
    if (p + step > length) break;  // a lone lead byte at the end is left out
    const bool space = is_space_at(src, p);
    p += step;
    if (!space) end = p;
  }
  return stored(src.substr(begin, end - begin));
}

Text remove_all_spaces(const Text& t) {
  const std::string_view src = t.view();
  std::string out;
  out.reserve(src.size());
  std::size_t p = 0;
  while (p < src.size()) {
    const std::size_t step = scan::char_step(src, p);
    if (p + step > src.size()) break;  // a lone lead byte at the end is left out
    if (!is_space_at(src, p)) out.append(src.substr(p, step));
    p += step;
  }
  return Text(std::move(out));
}

Text to_lower(const Text& t) {
  std::string out(t.view());
  std::size_t p = 0;
  while (p < out.size()) {
    const auto c = static_cast<unsigned char>(out[p]);
    if (c >= 'A' && c <= 'Z') out[p] = static_cast<char>(c + 0x20);
    p += c >= 0x80 ? 2 : 1;
  }
  return Text(std::move(out));
}

int to_int(const Text& t) {
  const std::string_view src = t.view();
  std::size_t p = 0;
  // Reads one character, giving full-width forms as their ASCII counterparts and
  // anything else above ASCII as 0x80 (which is neither space, sign nor digit).
  auto peek = [&](std::size_t& step) -> unsigned char {
    const auto c = static_cast<unsigned char>(src[p]);
    step = 1;
    if (c < 0x80) return c;
    step = 2;
    if (p + 1 < src.size()) {
      const auto d = static_cast<unsigned char>(src[p + 1]);
      if (c == 0xA3 && d >= 0xA1) return static_cast<unsigned char>(d - 0x80);
      if (c == 0xA1 && d == 0xA1) return ' ';
    }
    return 0x80;
  };
  std::size_t step = 0;
  unsigned char c = 0;
  while (p < src.size()) {
    c = peek(step);
    if (c != ' ' && !(c >= '\t' && c <= '\r')) break;
    p += step;
  }
  bool negative = false;
  if (p < src.size()) {
    c = peek(step);
    if (c == '+' || c == '-') {
      negative = c == '-';
      p += step;
    }
  }
  std::uint32_t value = 0;
  while (p < src.size()) {
    c = peek(step);
    if (c < '0' || c > '9') break;
    value = value * 10u + static_cast<std::uint32_t>(c - '0');
    p += step;
  }
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

Text hex_text(int v) {
  static constexpr char digits[] = "0123456789ABCDEF";
  auto u = static_cast<std::uint32_t>(v);
  char buffer[8];
  std::size_t n = 0;
  do {
    buffer[sizeof buffer - 1 - n++] = digits[u & 0xF];
    u >>= 4;
  } while (u != 0);
  return stored(std::string_view(buffer + sizeof buffer - n, n));
}

Text char_of(std::uint8_t b) {
  if (b == 0) return Text();
  const char c = static_cast<char>(b);
  return stored(std::string_view(&c, 1));
}

Text blank_text(int n) {
  if (n < 1) return Text();
  return Text(std::string(static_cast<std::size_t>(n), ' '));
}

// --- Bytes --------------------------------------------------------------------------

int bytes_length(const Bytes& b) { return clamp_length(b.size()); }

int byte_at(const Bytes& b, int i) {
  if (i < 1 || i > bytes_length(b)) fatal_index_error("Bytes", i, bytes_length(b));
  return b.data()[i - 1];
}

Bytes bytes_left(const Bytes& b, int n) {
  if (n <= 0) return Bytes();
  return Bytes(b.view().substr(0, static_cast<std::size_t>(n)));
}

Bytes blank_bytes(int n) {
  if (n <= 0) return Bytes();
  return Bytes(std::string(static_cast<std::size_t>(n), '\0'));
}

Bytes concat_bytes(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  Bytes result;
  result.reserve(total);
  for (std::string_view part : parts) result.append(part);
  return result;
}

bool bytes_equal(const Bytes& a, const Bytes& b) { return a.view() == b.view(); }

Bytes text_to_bytes(const Text& t) { return Bytes(t.view()); }

Text bytes_to_text(const Bytes& b) {
  const std::string_view text = up_to_zero(b.view());
  if (text.empty()) return Text();
  return Text(text);
}

Text bytes_to_text(Bytes&& b) {
  if (b.empty() || b.data()[0] == 0) return Text();
  return Text(std::move(b).take());
}

}  // namespace tessevin
