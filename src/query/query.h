// The lookup behind the Query button: the selected region and the typed name become
// the player-detail page address; the page's figures go into the result labels, or a
// message says why there are none.
#pragma once

#include "query/page_rules.h"
#include "text/text.h"

namespace tessevin {

enum class ResultLabel { level, combat_power, hidden_score };

// What the lookup needs of the window. The window implements it; tests use their own.
class QueryWindow {
 public:
  virtual ~QueryWindow() = default;
  // 0-based position of the selected region, -1 when none is selected.
  [[nodiscard]] virtual int selected_position() = 0;
  // The name box's text as typed.
  [[nodiscard]] virtual Text name_text() = 0;
  virtual void set_caption(ResultLabel label, const Text& caption) = 0;
  // A message box with OK only; returns when it is closed.
  virtual void show_message(const Text& text) = 0;
};

// The statistics service's host (and port) this program was built for.
[[nodiscard]] Text default_stats_host();

// "http://" host "/playerDetail.php?serverName=" … "&playerName=" …, both values
// percent-encoded UTF-8 (ASCII letters, digits, "-" and "." kept).
[[nodiscard]] Text player_page_address(const Text& stats_host, const Text& server_name,
                                       const Text& summoner_name);

// Fetches the player page and applies the page rules to it (UTF-8 converted to code
// page 936 first). A failed request reads as an empty page: three empty figures;
// `answered` (out, optional) tells it apart from a page that lacks the markers: false
// when no response came back at all.
[[nodiscard]] PlayerPage look_up_player(const Text& stats_host, const Text& server_name,
                                        const Text& summoner_name, bool* answered = nullptr);

// The whole lookup, reading and writing the window. Messages: "请选择大区！" when no
// region is selected (nothing is fetched), "请输入正确的召唤师信息" when the service
// knows no such player (the labels keep what they showed).
void run_query(QueryWindow& window, const Text& stats_host = default_stats_host());

// The texts of the two messages, code page 936.
inline constexpr const char* message_no_region = "\xC7\xEB\xD1\xA1\xD4\xF1\xB4\xF3\xC7\xF8\xA3\xA1";
inline constexpr const char* message_no_player =
    "\xC7\xEB\xCA\xE4\xC8\xEB\xD5\xFD\xC8\xB7\xB5\xC4\xD5\xD9\xBB\xBD\xCA\xA6\xD0\xC5\xCF\xA2";

}  // namespace tessevin
