#include "skin/skin_file.h"

#include <array>
#include <bitset>

namespace tessevin::skin {

namespace {

struct ColourKey {
  std::string_view name;
  std::uint32_t Skin::*member;
};

struct NumberKey {
  std::string_view name;
  int Skin::*member;
  int low;
  int high;
};

constexpr std::array<ColourKey, 10> colour_keys{{
    {"window", &Skin::window},
    {"text", &Skin::text},
    {"base", &Skin::base},
    {"button", &Skin::button},
    {"button_hover", &Skin::button_hover},
    {"button_pressed", &Skin::button_pressed},
    {"highlight", &Skin::highlight},
    {"highlight_text", &Skin::highlight_text},
    {"border", &Skin::border},
    {"tint", &Skin::tint},
}};

constexpr std::array<NumberKey, 2> number_keys{{
    {"radius", &Skin::radius, 0, max_radius},
    {"font_size", &Skin::font_size, min_font_size, max_font_size},
}};

constexpr std::size_t key_count = colour_keys.size() + number_keys.size();

std::string_view trim_blanks(std::string_view s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::uint32_t> parse_colour(std::string_view value) {
  if (value.size() != 7 || value[0] != '#') return std::nullopt;
  std::uint32_t rgb = 0;
  for (char c : value.substr(1)) {
    const int digit = hex_digit(c);
    if (digit < 0) return std::nullopt;
    rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
  }
  return rgb;
}

std::optional<int> parse_number(std::string_view value, int low, int high) {
  if (value.empty()) return std::nullopt;
  long long n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
    if (n > high) return std::nullopt;  // also stops long digit runs from overflowing
  }
  if (n < low) return std::nullopt;
  return static_cast<int>(n);
}

// Stores one "key = value" line; false when the key is unknown or already seen, or the
// value does not fit the key.
bool take_setting(std::string_view key, std::string_view value, Skin& skin,
                  std::bitset<key_count>& seen) {
  for (std::size_t i = 0; i < colour_keys.size(); ++i) {
    if (colour_keys[i].name != key) continue;
    const auto colour = parse_colour(value);
    if (!colour || seen[i]) return false;
    seen[i] = true;
    skin.*colour_keys[i].member = *colour;
    return true;
  }
  for (std::size_t i = 0; i < number_keys.size(); ++i) {
    const NumberKey& k = number_keys[i];
    if (k.name != key) continue;
    const auto number = parse_number(value, k.low, k.high);
    const std::size_t bit = colour_keys.size() + i;
    if (!number || seen[bit]) return false;
    seen[bit] = true;
    skin.*k.member = *number;
    return true;
  }
  return false;
}

}  // namespace

std::optional<Skin> parse_skin(std::string_view file) {
  if (file.size() > max_skin_file_size) return std::nullopt;
  Skin skin;
  std::bitset<key_count> seen;
  bool first = true;
  while (!file.empty()) {
    const std::size_t end = file.find('\n');
    std::string_view line = file.substr(0, end);
    file = end == std::string_view::npos ? std::string_view() : file.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      if (line != ".SHE 1") return std::nullopt;
      first = false;
      continue;
    }
    const std::string_view content = trim_blanks(line);
    if (content.empty() || content.front() == '#') continue;
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    if (!take_setting(trim_blanks(content.substr(0, equals)),
                      trim_blanks(content.substr(equals + 1)), skin, seen)) {
      return std::nullopt;
    }
  }
  if (first || !seen.all()) return std::nullopt;
  return skin;
}

}  // namespace tessevin::skin
