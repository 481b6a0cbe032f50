// The players the demo statistics service knows, one row each: server name (as the
// program sends it), player name, level, combat power, hidden score. A lookup
// matches when both names equal a row byte for byte (UTF-8; case and spaces count);
// everything else gets the "no data" page. The rows cover Chinese, ASCII and mixed
// names, a name with a space ("Faker Jr"), one name on two servers with different
// figures ("北风"), and servers from all three groups.
//
// Kept in this header on its own so the tests walk the same table.
#pragma once

#include <string_view>

namespace tessevin::demo {

struct DemoPlayer {
  std::string_view server_name;
  std::string_view player_name;
  int level;
  int combat_power;
  int hidden_score;
};

// clang-format off
inline constexpr DemoPlayer roster[] = {
    {"电信一",   "寒江孤影",   30, 5821, 1521},
    {"电信一",   "Faker Jr",   30, 7312, 1893},
    {"电信二",   "小鱼儿",     27, 3105, 1288},
    {"电信三",   "北风",       30, 4470, 1436},
    {"网通一",   "北风",       18, 1422, 1104},
    {"网通三",   "夜雨Rain",   29, 3968, 1377},
    {"网通六",   "Lumen",      25, 2876, 1250},
    {"电信十",   "neo-7.cn",   30, 5102, 1590},
    {"电信十九", "ShadowFox",  30, 6640, 1702},
    {"教育一",   "图书馆的猫", 22, 2250, 1215},
};
// clang-format on

}  // namespace tessevin::demo
