#include "query/page_rules.h"

#include "text/extract.h"

namespace tessevin {

PlayerPage parse_player_page(const Text& page) {
  using namespace page_markers;
  PlayerPage outcome;
  const Text said = extract_between(page, no_data_left, no_data_right);
  if (text_equal(said, no_data_value)) {
    outcome.no_data = true;
    return outcome;
  }
  outcome.summary.level = extract_between(page, level_left, level_right);
  outcome.summary.combat_power = extract_between(page, combat_power_left, combat_power_right);
  outcome.summary.hidden_score = extract_between(page, hidden_score_left, hidden_score_right);
  return outcome;
}

}  // namespace tessevin
