// url_encode with every combination of its flags: the result is the byte-by-byte rule
// applied to the text (or to its UTF-8 form), and decoding it gives those bytes back.
//
// Input: the text.
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "text/convert.h"
#include "text/text.h"
#include "text/url_encode.h"

namespace {

bool is_kept(unsigned char b) {
  return b == '-' || b == '.' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
         (b >= 'a' && b <= 'z');
}

std::string reference_encode(std::string_view bytes, bool keep_safe) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (keep_safe && is_kept(b)) {
      out += ch;
    } else {
      out += '%';
      out += digits[b >> 4];
      out += digits[b & 0xF];
    }
  }
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower case is never written
}

// The bytes an encoded text stands for; false when it holds anything but kept bytes
// and "%" with two upper-case digits.
bool decode(std::string_view encoded, std::string& out) {
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const auto c = static_cast<unsigned char>(encoded[i]);
    if (c != '%') {
      if (!is_kept(c)) return false;
      out += encoded[i];
      continue;
    }
    if (encoded.size() - i < 3) return false;
    const int high = hex_digit(encoded[i + 1]);
    const int low = hex_digit(encoded[i + 2]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high << 4 | low);
    i += 2;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  using fuzz::check;
  using fuzz::shown;
  const Text text(std::string_view(reinterpret_cast<const char*>(data), size));
  const Text utf8 = ansi_to_utf8(text);

  for (const bool keep_safe : {false, true}) {
    for (const bool to_utf8 : {false, true}) {
      const Text got = url_encode(text, keep_safe, to_utf8);
      const std::string_view bytes = to_utf8 ? utf8.view() : text.view();
      const std::string want = reference_encode(bytes, keep_safe);
      const auto describe = [&] {
        return "url_encode(" + shown(text.view()) + ", " + (keep_safe ? "keep" : "all") + ", " +
               (to_utf8 ? "utf8" : "as is") + ") gave " + shown(got.view()) + ", want " +
               shown(want);
      };
      check(got.view() == want, describe);
      std::string decoded;
      check(decode(got.view(), decoded) && decoded == bytes, describe);
    }
  }
  return 0;
}
