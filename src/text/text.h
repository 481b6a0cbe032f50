// Text, Bytes and TextList: the value types all of Tessevin's logic is written in.
//
// A Text is a run of code page 936 (GBK) bytes without a zero byte. A character is
// one byte below 0x80, or a lead byte of 0x80 or above plus one more byte. Positions
// are 1-based and count bytes; a search that finds nothing answers -1. Scans step
// two bytes from every byte of 0x80 or above, so a match only begins where a
// character begins (counted from where the scan began).
//
// The empty Text may be "absent" (held without storage). Every operation treats an
// absent text as the empty text; only code that hands a string to a C interface
// (which wants a null pointer for "none") asks the difference.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessevin {

class Text {
 public:
  // The absent text.
  Text() = default;
  // Copies a zero-terminated byte string; nullptr gives the absent text.
  Text(const char* zero_terminated);  // NOLINT(google-explicit-constructor)
  // Copies bytes up to the first zero byte, or all of them when there is none.
  explicit Text(std::string_view bytes);
  explicit Text(std::string&& bytes);

  [[nodiscard]] bool is_absent() const { return !stored_; }
  [[nodiscard]] std::string_view view() const { return bytes_; }
  [[nodiscard]] const std::string& str() const { return bytes_; }
  [[nodiscard]] std::size_t size() const { return bytes_.size(); }
  [[nodiscard]] bool empty() const { return bytes_.empty(); }
  // For C interfaces: nullptr for the absent text, else a zero-terminated string.
  [[nodiscard]] const char* c_str_or_null() const { return stored_ ? bytes_.c_str() : nullptr; }
  [[nodiscard]] unsigned char byte(std::size_t offset) const {
    return static_cast<unsigned char>(bytes_[offset]);
  }

  // Grows this value in place (amortised, never a copy of what is already held).
  // Bytes from a zero byte on are not taken.
  Text& append(std::string_view bytes);
  Text& append(const Text& other) { return append(other.view()); }
  Text& append(const char* zero_terminated) {
    return append(zero_terminated ? std::string_view(zero_terminated) : std::string_view());
  }
  void reserve(std::size_t n) {
    stored_ = true;
    bytes_.reserve(n);
  }

 private:
  std::string bytes_;
  bool stored_ = false;
};

// Any bytes, zero included.
class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string_view bytes) : bytes_(bytes) {}
  explicit Bytes(std::string&& bytes) : bytes_(std::move(bytes)) {}

  [[nodiscard]] std::string_view view() const { return bytes_; }
  [[nodiscard]] const unsigned char* data() const {
    return reinterpret_cast<const unsigned char*>(bytes_.data());
  }
  [[nodiscard]] unsigned char* data() { return reinterpret_cast<unsigned char*>(bytes_.data()); }
  [[nodiscard]] std::size_t size() const { return bytes_.size(); }
  [[nodiscard]] bool empty() const { return bytes_.empty(); }

  Bytes& append(std::string_view bytes) {
    bytes_.append(bytes);
    return *this;
  }
  Bytes& append(const Bytes& other) { return append(other.view()); }
  void reserve(std::size_t n) { bytes_.reserve(n); }
  // Hands the storage over, leaving this value empty.
  [[nodiscard]] std::string take() && { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// An ordered list of Texts, indexed from 1. An index outside 1..count() is a
// programming error and stops the program.
class TextList {
 public:
  [[nodiscard]] int count() const { return static_cast<int>(items_.size()); }
  [[nodiscard]] const Text& at(int index) const;
  void append(Text item) { items_.push_back(std::move(item)); }

 private:
  std::vector<Text> items_;
};

// --- Text -------------------------------------------------------------------------

[[nodiscard]] int text_length(const Text& t);

namespace detail {
inline std::string_view part_view(const Text& t) { return t.view(); }
inline std::string_view part_view(const char* s) {
  return s ? std::string_view(s) : std::string_view();
}
}  // namespace detail

// The parts one after another; always a stored text, possibly empty.
[[nodiscard]] Text concat_text(std::initializer_list<std::string_view> parts);
template <typename... Parts>
[[nodiscard]] Text concat_text(const Parts&... parts) {
  static_assert(sizeof...(parts) >= 2, "concat_text joins two or more parts");
  return concat_text({detail::part_view(parts)...});
}

// Same bytes; the absent text equals the stored empty text.
[[nodiscard]] bool text_equal(const Text& a, const Text& b);

// Byte counts: these may cut a two-byte character in half.
[[nodiscard]] Text text_left(const Text& t, int n);
[[nodiscard]] Text text_right(const Text& t, int n);
// n bytes from 1-based `start`; a start below 1 or past the end gives the empty text.
[[nodiscard]] Text text_mid(const Text& t, int start, int n);

// First occurrence at or after `start` (below 1 or left out: the beginning).
// An empty needle answers 1 while anything is left to search.
//   find_text("abcabc", "bc")    == 2
//   find_text("abcabc", "bc", 3) == 5
[[nodiscard]] int find_text(const Text& t, const Text& needle,
                            std::optional<int> start = std::nullopt, bool case_insensitive = false);

// Last occurrence lying wholly before `start` (left out: the whole text).
//   find_text_reverse("a.b.c.d", ".")    == 6
//   find_text_reverse("a.b.c.d", ".", 6) == 4
[[nodiscard]] int find_text_reverse(const Text& t, const Text& needle,
                                    std::optional<int> start = std::nullopt,
                                    bool case_insensitive = false);

// Replaces non-overlapping occurrences from left to right. Note the flag's sense is
// the opposite of the searches' and it defaults to false: left out, matching folds
// ASCII letters. `count` left out or negative: no limit; 0: nothing is replaced.
//   replace_text("aaaaa", "aa", "b", {}, {}, true) == "bba"
[[nodiscard]] Text replace_text(const Text& t, const Text& target,
                                std::optional<Text> replacement = std::nullopt,
                                std::optional<int> start = std::nullopt,
                                std::optional<int> count = std::nullopt,
                                bool case_sensitive = false);

// Pieces between exact separators (left out: ","). A separator at the start or two
// in a row give empty members; one at the very end gives no empty last member.
//   split_text("a,,b") == {"a", "", "b"};  split_text("a,b,") == {"a", "b"}
[[nodiscard]] TextList split_text(const Text& t, std::optional<Text> separator = std::nullopt,
                                  std::optional<int> max_count = std::nullopt);

// Only the ASCII space and the ideographic space A1 A1 count as spaces here.
[[nodiscard]] Text trim_both(const Text& t);
[[nodiscard]] Text remove_all_spaces(const Text& t);
// A-Z that begin a character become a-z; second bytes are left alone.
[[nodiscard]] Text to_lower(const Text& t);
// The decimal number at the start (full-width forms read as ASCII), wrapping modulo 2^32.
[[nodiscard]] int to_int(const Text& t);
// Upper-case hexadecimal without leading zeros; negative values as unsigned 32-bit.
[[nodiscard]] Text hex_text(int v);
// The one byte b; 0 gives the absent text.
[[nodiscard]] Text char_of(std::uint8_t b);
// n spaces (n < 1: empty).
[[nodiscard]] Text blank_text(int n);

// --- Bytes ------------------------------------------------------------------------

[[nodiscard]] int bytes_length(const Bytes& b);
// The byte at 1-based index i (0..255); outside 1..bytes_length stops the program.
[[nodiscard]] int byte_at(const Bytes& b, int i);
[[nodiscard]] Bytes bytes_left(const Bytes& b, int n);
[[nodiscard]] Bytes blank_bytes(int n);
[[nodiscard]] Bytes concat_bytes(std::initializer_list<std::string_view> parts);
template <typename... Parts>
[[nodiscard]] Bytes concat_bytes(const Bytes& first, const Parts&... rest) {
  static_assert(sizeof...(rest) >= 1, "concat_bytes joins two or more parts");
  return concat_bytes({first.view(), rest.view()...});
}
[[nodiscard]] bool bytes_equal(const Bytes& a, const Bytes& b);
// The bytes of t, without a terminating zero.
[[nodiscard]] Bytes text_to_bytes(const Text& t);
// The bytes of b up to its first zero byte.
[[nodiscard]] Text bytes_to_text(const Bytes& b);
// The same, taking b's storage over instead of copying it (a page can be large).
[[nodiscard]] Text bytes_to_text(Bytes&& b);

// Stops the program on a broken internal invariant (an index outside a list).
[[noreturn]] void fatal_index_error(const char* what, int index, int count);

}  // namespace tessevin
