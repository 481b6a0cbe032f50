#include "query/query.h"

#include "query/region_table.h"
#include "text/convert.h"
#include "text/url_encode.h"
#include "web/web_request.h"

#ifndef TESSEVIN_STATS_HOST
#error "TESSEVIN_STATS_HOST is set by the build"
#endif

namespace tessevin {

Text default_stats_host() { return TESSEVIN_STATS_HOST; }

Text player_page_address(const Text& stats_host, const Text& server_name,
                         const Text& summoner_name) {
  // The name is encoded first, then the server name; neither depends on the other.
  const Text name = url_encode(summoner_name, true, true);
  const Text server = url_encode(server_name, true, true);
  return concat_text("http://", stats_host, "/playerDetail.php?serverName=", server,
                     "&playerName=", name);
}

PlayerPage look_up_player(const Text& stats_host, const Text& server_name,
                          const Text& summoner_name, bool* answered) {
  const Text address = player_page_address(stats_host, server_name, summoner_name);
  // Whatever comes back, an error page included, goes through the page rules.
  return parse_player_page(utf8_to_ansi(fetch_page(address, answered)));
}

void run_query(QueryWindow& window, const Text& stats_host) {
  const int position = window.selected_position();
  if (position == -1) {
    window.show_message(message_no_region);
    return;
  }
  // A heading gives the empty server name, and the lookup goes on with it.
  const PlayerPage page = look_up_player(stats_host, server_name_for(position), window.name_text());
  if (page.no_data) {
    window.show_message(message_no_player);
    return;
  }
  window.set_caption(ResultLabel::level, page.summary.level);
  window.set_caption(ResultLabel::combat_power, page.summary.combat_power);
  window.set_caption(ResultLabel::hidden_score, page.summary.hidden_score);
}

}  // namespace tessevin
