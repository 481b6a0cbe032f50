// Shared helpers for the Text and Bytes tests: short constructors, readable failure
// output for code page 936 bytes, and the small alphabets the exhaustive checks use.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "support/text_reference.h"
#include "text/text.h"

namespace tessevin {

namespace testing {


// A Text from a literal; nullptr gives the absent text.
inline Text T(const char* bytes) { return Text(bytes); }

// A Bytes from a literal that may hold zero bytes: B("a\0b"sv).
inline Bytes B(std::string_view bytes) { return Bytes(bytes); }

// The members of a list, for comparing against a table row.
inline std::vector<std::string> members(const TextList& list) {
  std::vector<std::string> out;
  for (int i = 1; i <= list.count(); ++i) out.push_back(list.at(i).str());
  return out;
}

inline std::string shown(const std::vector<std::string>& list) {
  std::string out = "{";
  for (std::size_t i = 0; i < list.size(); ++i) out += (i ? ", " : "") + shown(list[i]);
  return out + "}";
}

inline std::string shown(const char* bytes) {
  return bytes ? shown(std::string_view(bytes)) : std::string("(absent)");
}

inline std::string shown(std::optional<int> v) {
  return v ? std::to_string(*v) : std::string("(left out)");
}

// Every text of length 0..max_length over `alphabet`, shortest first.
inline std::vector<std::string> all_texts(std::string_view alphabet, std::size_t max_length) {
  std::vector<std::string> out{""};
  std::size_t from = 0;
  for (std::size_t length = 1; length <= max_length; ++length) {
    const std::size_t to = out.size();
    for (std::size_t i = from; i < to; ++i) {
      for (const char c : alphabet) out.push_back(out[i] + c);
    }
    from = to;
  }
  return out;
}

inline constexpr std::nullopt_t omitted = std::nullopt;

}  // namespace testing

// Found by gtest through argument-dependent lookup.
inline void PrintTo(const Text& t, std::ostream* os) {
  *os << (t.is_absent() ? "(absent)" : testing::shown(t.view()));
}
inline void PrintTo(const Bytes& b, std::ostream* os) { *os << testing::shown(b.view()); }

}  // namespace tessevin
