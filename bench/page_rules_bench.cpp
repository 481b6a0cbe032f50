// parse_player_page against the least any reader of those markers must do: find the
// four left markers and the right marker after each with memmem.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstring>
#include <string>

#include "query/page_rules.h"
#include "ratio.h"

namespace {

using namespace tessevin;

std::string to_gbk(const std::string& utf8) {
  UErrorCode status = U_ZERO_ERROR;
  std::string out(utf8.size() * 2 + 16, '\0');
  const int32_t n =
      ucnv_convert("windows-936", "UTF-8", out.data(), static_cast<int32_t>(out.size()),
                   utf8.data(), static_cast<int32_t>(utf8.size()), &status);
  out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(n) : 0);
  return out;
}

// A player page of about `size` bytes: match-history rows of markup and Chinese text,
// with the figures near the end as on the real page.
std::string make_page(std::size_t size) {
  const std::string row =
      "<tr class=\"match\"><td class=\"hero\"><img src=\"/img/champ/42.png\" alt=\"英雄\"></td>"
      "<td>排位赛 胜利</td><td class=\"kda\">7/2/11</td><td>2026-12-01 20:15</td>"
      "<td><a href=\"/match.php?id=98765\">详细数据</a></td></tr>\r\n";
  std::string page =
      "<!DOCTYPE html><html><head><meta "
      "charset=\"utf-8\"><title>召唤师详情</title></head><body>\r\n";
  while (page.size() + 600 < size) page += row;
  page += "<div class=\"lv\"><span>召唤师等级</span>\r\n\t  <em>30</em></div>\r\n";
  page += "<p>战斗力 <a href=\"/help\">算法</a>\r\n                1234 = 基础 + 胜场</p>\r\n";
  page += "<p>隐藏分 = 1200(基础分) + 1521(胜率分)</p>\r\n</body></html>\r\n";
  return to_gbk(page);
}

std::size_t memmem_between(const std::string& page, const char* left, const char* right) {
  const char* begin = page.data();
  const char* end = begin + page.size();
  const std::size_t left_size = std::strlen(left);
  const void* l = memmem(begin, page.size(), left, left_size);
  if (l == nullptr) return 0;
  const char* after = static_cast<const char*>(l) + left_size;
  const void* r = memmem(after, static_cast<std::size_t>(end - after), right, std::strlen(right));
  return r == nullptr ? 0 : static_cast<std::size_t>(static_cast<const char*>(r) - after);
}

void parse(benchmark::State& state, std::size_t size) {
  const Text page(make_page(size));
  for (auto _ : state) {
    PlayerPage outcome = parse_player_page(page);
    benchmark::DoNotOptimize(outcome);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void lower_bound(benchmark::State& state, std::size_t size) {
  namespace m = page_markers;
  const std::string page = make_page(size);
  for (auto _ : state) {
    std::size_t found = memmem_between(page, m::no_data_left, m::no_data_right);
    found += memmem_between(page, m::level_left, m::level_right);
    found += memmem_between(page, m::combat_power_left, m::combat_power_right);
    found += memmem_between(page, m::hidden_score_left, m::hidden_score_right);
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

constexpr std::size_t k64 = 64 * 1024;
constexpr std::size_t m8 = 8 * 1024 * 1024;

BENCHMARK_CAPTURE(parse, 64k, k64);
BENCHMARK_CAPTURE(lower_bound, 64k, k64);
BENCHMARK_CAPTURE(parse, 8m, m8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(lower_bound, 8m, m8)->Unit(benchmark::kMillisecond);

TESSEVIN_RATIO("parse_page_64k", "parse/64k", "lower_bound/64k");
TESSEVIN_RATIO("parse_page_8m", "parse/8m", "lower_bound/8m");

}  // namespace
