// What every fuzz target shares: reading the fuzz bytes as a few numbers followed by
// texts, and stopping the run with a readable report when a property fails.
//
// An input is read front to back: numbers first (a missing byte reads as 0), then
// texts, each running up to the next zero byte (which is used up) or the end. A zero
// byte can never stand inside a Text, so it is the natural field separator, and the
// seed files stay easy to write by hand: printf 'abcabc\0bc' > seed.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/text_reference.h"

namespace tessevin::fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  [[nodiscard]] std::uint8_t byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }

  // A signed number from two bytes, low byte first. The two extremes stand for INT_MIN
  // and INT_MAX, so the arithmetic at the ends of int is reached as well.
  [[nodiscard]] int number() {
    const int low = byte();
    const auto value = static_cast<std::int16_t>(low | byte() << 8);
    if (value == INT16_MIN) return INT_MIN;
    if (value == INT16_MAX) return INT_MAX;
    return value;
  }

  // The bytes up to the next zero byte, or to the end.
  [[nodiscard]] std::string_view field() {
    const std::size_t zero = rest_.find('\0');
    const std::string_view out = rest_.substr(0, zero);
    rest_.remove_prefix(zero == std::string_view::npos ? rest_.size() : zero + 1);
    return out;
  }

  // Everything not read yet, zero bytes included.
  [[nodiscard]] std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

using testing::shown;

[[nodiscard]] inline std::string shown(const std::vector<std::string>& list) {
  std::string out = "{";
  for (std::size_t i = 0; i < list.size(); ++i) out += (i ? ", " : "") + shown(list[i]);
  return out + "}";
}

[[nodiscard]] inline std::string shown(std::optional<int> v) {
  return v ? std::to_string(*v) : std::string("(left out)");
}

// Reports a failed property and aborts: libFuzzer keeps the input as a crash file.
[[noreturn]] inline void fail(const std::string& what) {
  std::fprintf(stderr, "\nproperty failed: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// The description is built only when the property fails: check(ok, [&] { return ...; }).
template <typename Describe>
inline void check(bool ok, Describe&& describe) {
  if (!ok) fail(describe());
}

// Whether `part` stands somewhere in `whole`, byte for byte.
[[nodiscard]] inline bool is_substring(std::string_view part, std::string_view whole) {
  return whole.find(part) != std::string_view::npos;
}

}  // namespace tessevin::fuzz
