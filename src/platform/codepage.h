// Measuring and converting between multibyte code pages and UTF-16, answering the
// way the classic Windows conversion calls answer, so the callers' room arithmetic
// reads as it was designed. Built on ICU.
//
// Code pages: 0 is the ANSI code page, which is 936 (GBK) here; 936 is GBK with
// 0x80 as the euro sign; 65001 is UTF-8. Any other number is unsupported and every
// call with it answers 0.
#pragma once

#include <cstddef>

namespace tessevin::platform {

inline constexpr int cp_acp = 0;
inline constexpr int cp_gbk = 936;
inline constexpr int cp_utf8 = 65001;

// Reads `src_len` bytes of `src` in `code_page`; src_len -1 means "up to and
// including the terminating zero byte", and then the answer counts that zero too.
//   room == 0: measures; the answer is the number of UTF-16 units needed.
//   room  > 0: converts into dst; the answer is the number of units written, or 0
//              when they did not all fit (dst then holds as many as fitted).
// Ill-formed input becomes U+FFFD. Answers 0 on any failure.
int multi_byte_to_wide(int code_page, const char* src, int src_len, char16_t* dst, int room);

// The other way: UTF-16 units to bytes of `code_page`, with the same measuring, room
// and terminator rules. A character the code page lacks becomes '?' (0x3F); an
// unpaired surrogate becomes U+FFFD in UTF-8 and '?' in GBK.
int wide_to_multi_byte(int code_page, const char16_t* src, int src_len, char* dst, int room);

}  // namespace tessevin::platform
