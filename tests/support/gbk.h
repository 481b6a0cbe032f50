// Test helper: writes code page 936 bytes from readable UTF-8 literals, using ICU
// directly so the conversion under test is never its own reference.
#pragma once

#include <unicode/ucnv.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace tessevin::testing {

inline std::string convert_with_icu(const char* to, const char* from, std::string_view in) {
  UErrorCode status = U_ZERO_ERROR;
  std::string out(in.size() * 4 + 16, '\0');
  const int32_t n = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()), in.data(),
                                 static_cast<int32_t>(in.size()), &status);
  if (U_FAILURE(status)) throw std::runtime_error(u_errorName(status));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// gbk("中a") == "\xD6\xD0" "a"
inline std::string gbk(std::string_view utf8) {
  return convert_with_icu("windows-936", "UTF-8", utf8);
}

inline std::string utf8_from_gbk(std::string_view bytes) {
  return convert_with_icu("UTF-8", "windows-936", bytes);
}

}  // namespace tessevin::testing
