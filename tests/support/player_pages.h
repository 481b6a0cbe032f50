// Player-detail pages as the statistics service sends them (UTF-8), written out
// independently of the program's markers, for scripted loopback servers.
#pragma once

#include <string>

namespace tessevin::testing {

// A page with each figure where the page rules look for it; an empty figure leaves
// its markers out altogether.
inline std::string player_page(const std::string& level, const std::string& combat_power,
                               const std::string& hidden_score) {
  std::string page = "<html><body><h3>player</h3>\r\n";
  if (!level.empty()) page += "<span>lv</span>\r\n\t  <em>" + level + "</em>\r\n";
  if (!combat_power.empty()) {
    page += "<a>算法</a>\r\n                " + combat_power + " = 1 + 2\r\n";
  }
  if (!hidden_score.empty()) page += "(基础分) + " + hidden_score + "(胜率分)\r\n";
  return page + "</body></html>\r\n";
}

inline const std::string no_data_page =
    "<html><body><h3><img src=\"images/call2login.gif\">暂无数据！</h3></body></html>\r\n";

}  // namespace tessevin::testing
