// The two codecs a query runs over its data, each against the least its job needs:
// url_encode against a bare table-driven percent-encoder, and utf8_to_ansi of a page
// against one direct ICU conversion of the same bytes.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "ratio.h"
#include "text/convert.h"
#include "text/url_encode.h"

namespace {

using namespace tessevin;

constexpr std::size_t one_mb = 1024 * 1024;

std::string icu_convert(const char* to, const char* from, const std::string& in) {
  UErrorCode status = U_ZERO_ERROR;
  std::string out(in.size() * 2 + 16, '\0');
  const int32_t n = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()), in.data(),
                                 static_cast<int32_t>(in.size()), &status);
  out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(n) : 0);
  return out;
}

// About one megabyte of `piece` repeated, cut at a whole piece.
std::string repeat_to(const std::string& piece, std::size_t size) {
  std::string out;
  out.reserve(size + piece.size());
  while (out.size() + piece.size() <= size) out += piece;
  return out;
}

// A UTF-8 player page: match-history rows of markup and Chinese text.
std::string utf8_page() {
  const std::string row =
      "<tr class=\"match\"><td class=\"hero\"><img src=\"/img/champ/42.png\" alt=\"英雄\"></td>"
      "<td>排位赛 胜利</td><td class=\"kda\">7/2/11</td><td>2026-12-01 20:15</td>"
      "<td><a href=\"/match.php?id=98765\">详细数据</a></td><td>召唤师峡谷·电信一</td></tr>\r\n";
  return repeat_to(row, one_mb);
}

// Query values as a user types them: names mixing Chinese and ASCII, in code page 936.
std::string gbk_names() {
  return repeat_to(
      icu_convert("windows-936", "UTF-8", "电信一 Faker小明_2024 艾欧尼亚.v2 ~黑色玫瑰~ "), one_mb);
}

// --- url_encode ---------------------------------------------------------------------

void url_encode_1m(benchmark::State& state) {
  const Text text(gbk_names());
  for (auto _ : state) {
    Text encoded = url_encode(text, true, false);
    benchmark::DoNotOptimize(encoded);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The bare encoder: per byte one 32-bit table word (its output bytes, then their count
// in the top byte), stored whole and stepped by the count, four input bytes per round,
// into a buffer sized once outside the loop. No allocation, no result value: the least a
// table-driven encoder can do. (Little-endian word layout, as on every bench machine.)
void table_encoder_1m(benchmark::State& state) {
  std::array<std::uint32_t, 256> table{};
  constexpr char digits[] = "0123456789ABCDEF";
  const auto word = [](int c0, int c1, int c2, std::uint32_t count) {
    return static_cast<std::uint32_t>(c0) | static_cast<std::uint32_t>(c1) << 8 |
           static_cast<std::uint32_t>(c2) << 16 | count << 24;
  };
  for (int b = 0; b < 256; ++b) {
    const bool kept = b == '-' || b == '.' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
                      (b >= 'a' && b <= 'z');
    table[static_cast<std::size_t>(b)] =
        kept ? word(b, 0, 0, 1) : word('%', digits[b >> 4], digits[b & 15], 3);
  }
  const std::string text = gbk_names();
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  std::string out(text.size() * 3 + 1, '\0');
  for (auto _ : state) {
    char* p = out.data();
    std::size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
      const std::uint32_t w[4] = {table[in[i]], table[in[i + 1]], table[in[i + 2]],
                                  table[in[i + 3]]};
      for (const std::uint32_t x : w) {
        std::memcpy(p, &x, 4);
        p += x >> 24;
      }
    }
    for (; i < text.size(); ++i) {
      const std::uint32_t x = table[in[i]];
      std::memcpy(p, &x, 4);
      p += x >> 24;
    }
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// --- utf8_to_ansi -------------------------------------------------------------------

void utf8_to_ansi_1m(benchmark::State& state) {
  const Text page(utf8_page());
  for (auto _ : state) {
    Text ansi = utf8_to_ansi(page);
    benchmark::DoNotOptimize(ansi);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

// One ICU conversion UTF-8 to windows-936 with both converters opened once, into a
// buffer sized once.
void icu_convert_1m(benchmark::State& state) {
  const std::string page = utf8_page();
  UErrorCode status = U_ZERO_ERROR;
  UConverter* utf8 = ucnv_open("UTF-8", &status);
  UConverter* gbk = ucnv_open("windows-936", &status);
  if (U_FAILURE(status)) {
    state.SkipWithError(u_errorName(status));
    return;
  }
  std::string out(page.size() * 2, '\0');
  for (auto _ : state) {
    char* target = out.data();
    const char* source = page.data();
    status = U_ZERO_ERROR;
    ucnv_convertEx(gbk, utf8, &target, out.data() + out.size(), &source, page.data() + page.size(),
                   nullptr, nullptr, nullptr, nullptr, true, true, &status);
    benchmark::DoNotOptimize(target);
    benchmark::ClobberMemory();
  }
  ucnv_close(gbk);
  ucnv_close(utf8);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

BENCHMARK(url_encode_1m)->Unit(benchmark::kMicrosecond);
BENCHMARK(table_encoder_1m)->Unit(benchmark::kMicrosecond);
BENCHMARK(utf8_to_ansi_1m)->Unit(benchmark::kMicrosecond);
BENCHMARK(icu_convert_1m)->Unit(benchmark::kMicrosecond);

TESSEVIN_RATIO("url_encode_1m", "url_encode_1m", "table_encoder_1m");
TESSEVIN_RATIO("utf8_to_ansi_1m", "utf8_to_ansi_1m", "icu_convert_1m");

}  // namespace
