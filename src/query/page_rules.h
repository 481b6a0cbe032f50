// Reading the statistics service's player-detail page. The page (already in code
// page 936) is never parsed as HTML: each figure is whatever stands between two fixed
// markers, byte for byte.
#pragma once

#include "text/text.h"

namespace tessevin {

// The three figures of one player, each exactly as found between its markers (the
// empty text when they are missing).
struct PlayerSummary {
  Text level;
  Text combat_power;
  Text hidden_score;
};

// Either the page says there is no such player, or it yields a summary.
struct PlayerPage {
  bool no_data = false;
  PlayerSummary summary;  // empty when no_data
};

// The markers, in code page 936. Kept here so tests and tools build pages from the
// very bytes the rules look for.
namespace page_markers {
inline constexpr const char* no_data_left = "<img src=\"images/call2login.gif\">";
inline constexpr const char* no_data_right = "</h3>";
// "暂无数据！" (the last character is the full-width exclamation mark).
inline constexpr const char* no_data_value = "\xD4\xDD\xCE\xDE\xCA\xFD\xBE\xDD\xA3\xA1";
// "</span>", CR LF, TAB, two spaces, "<em>".
inline constexpr const char* level_left = "</span>\r\n\t  <em>";
inline constexpr const char* level_right = "</em>";
// "算法</a>", CR LF, then sixteen spaces.
inline constexpr const char* combat_power_left = "\xCB\xE3\xB7\xA8</a>\r\n                ";
inline constexpr const char* combat_power_right = " = ";
// "(基础分) + " with ASCII parentheses.
inline constexpr const char* hidden_score_left = "(\xBB\xF9\xB4\xA1\xB7\xD6) + ";
// "(胜率分)" with ASCII parentheses.
inline constexpr const char* hidden_score_right = "(\xCA\xA4\xC2\xCA\xB7\xD6)";
}  // namespace page_markers

// No data only when the text after the no-data marker is exactly "暂无数据！"; then
// no figure is cut. Otherwise each figure is cut from the whole page on its own, so
// a page with none of the markers gives three empty figures, not "no data".
[[nodiscard]] PlayerPage parse_player_page(const Text& page);

}  // namespace tessevin
