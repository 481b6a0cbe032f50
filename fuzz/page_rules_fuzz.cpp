// parse_player_page on arbitrary pages: the figures are always pieces of the page,
// each exactly the cut between its markers, and a "no data" page carries no figures.
//
// Input: the page (code page 936 bytes, up to the first zero byte).
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "query/page_rules.h"
#include "support/text_reference.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessevin;
  using namespace page_markers;
  using fuzz::check;
  using fuzz::shown;
  const Text page(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string_view p = page.view();
  const PlayerPage outcome = parse_player_page(page);
  const auto cut = [&](const char* left, const char* right) {
    return testing::reference_extract(p, left, right, std::nullopt, false);
  };

  const bool want_no_data = cut(no_data_left, no_data_right) == no_data_value;
  check(outcome.no_data == want_no_data, [&] {
    return "no_data is " + std::to_string(outcome.no_data) + " for the page " + shown(p);
  });
  if (outcome.no_data) {
    check(outcome.summary.level.empty() && outcome.summary.combat_power.empty() &&
              outcome.summary.hidden_score.empty(),
          [&] { return "figures on a no-data page " + shown(p); });
    return 0;
  }

  const struct {
    const char* name;
    const Text& got;
    std::string want;
  } figures[] = {
      {"level", outcome.summary.level, cut(level_left, level_right)},
      {"combat power", outcome.summary.combat_power, cut(combat_power_left, combat_power_right)},
      {"hidden score", outcome.summary.hidden_score, cut(hidden_score_left, hidden_score_right)},
  };
  for (const auto& f : figures) {
    const auto describe = [&] {
      return std::string(f.name) + " " + shown(f.got.view()) + ", want " + shown(f.want) +
             ", page " + shown(p);
    };
    check(fuzz::is_substring(f.got.view(), p), describe);
    check(f.got.view() == f.want, describe);
  }
  return 0;
}
