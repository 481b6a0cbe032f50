#include "pages.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "roster.h"

namespace tessevin::demo {
namespace {

// Every server the lookup form offers, for the status panel.
constexpr std::string_view servers[] = {
    "电信一",   "电信二",   "电信三",   "电信四",   "电信五",   "电信六",   "电信七",
    "电信八",   "电信九",   "电信十",   "电信十一", "电信十二", "电信十三", "电信十四",
    "电信十五", "电信十六", "电信十七", "电信十八", "电信十九", "网通一",   "网通二",
    "网通三",   "网通四",   "网通五",   "网通六",   "教育一",
};

constexpr std::string_view heroes[] = {
    "青锋游侠", "赤焰术士", "铁甲卫士", "月影刺客", "雷鸣祭司",
    "沙海行者", "霜语者",   "星辉法师", "荒原猎手", "石心巨像",
};

constexpr std::string_view modes[] = {"排位赛", "匹配赛", "人机对战", "自定义"};

// One line of the page: the parts, then CR LF.
template <typename... Parts>
void line(std::string& out, const Parts&... parts) {
  (out.append(parts), ...);
  out.append("\r\n");
}

[[nodiscard]] int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Length of the well-formed UTF-8 sequence that starts `s` (not empty), or 0.
[[nodiscard]] std::size_t utf8_sequence_length(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  if (lead < 0x80) return 1;
  // Each multi-byte form: lead byte pattern, length, and the smallest code point it
  // may carry (anything below is an overlong form).
  static constexpr struct {
    unsigned char mask, pattern;
    std::size_t length;
    char32_t smallest;
  } forms[] = {{0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
  for (const auto& form : forms) {
    if ((lead & form.mask) != form.pattern) continue;
    if (s.size() < form.length) return 0;
    char32_t code = lead & ~form.mask & 0xFF;
    for (std::size_t i = 1; i < form.length; ++i) {
      const auto next = static_cast<unsigned char>(s[i]);
      if ((next & 0xC0) != 0x80) return 0;
      code = (code << 6) | (next & 0x3F);
    }
    const bool valid =
        code >= form.smallest && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    return valid ? form.length : 0;
  }
  return 0;
}

// Text from the request, made safe to show: well-formed UTF-8 without control
// characters (either becomes U+FFFD), HTML-escaped, cut after 40 characters. A zero
// byte must never reach the page: the program stops reading a page at one.
[[nodiscard]] std::string shown(std::string_view raw) {
  constexpr std::size_t most_characters = 40;
  std::string out;
  std::size_t characters = 0;
  while (!raw.empty()) {
    if (characters == most_characters) {
      out.append("…");
      break;
    }
    ++characters;
    const std::size_t length = utf8_sequence_length(raw);
    const auto first = static_cast<unsigned char>(raw[0]);
    if (length == 0 || first < 0x20 || first == 0x7F) {
      out.append("\xEF\xBF\xBD");
      raw.remove_prefix(1);
      continue;
    }
    switch (raw[0]) {
      case '&':
        out.append("&amp;");
        break;
      case '<':
        out.append("&lt;");
        break;
      case '>':
        out.append("&gt;");
        break;
      case '"':
        out.append("&quot;");
        break;
      case '\'':
        out.append("&#39;");
        break;
      default:
        out.append(raw.substr(0, length));
    }
    raw.remove_prefix(length);
  }
  return out;
}

// A query value for a link on the page, encoded as the program would send it.
[[nodiscard]] std::string link_value(std::string_view value) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.') {
      out.push_back(c);
    } else {
      out.append({'%', hex[byte >> 4], hex[byte & 15]});
    }
  }
  return out;
}

// FNV-1a, so each player's made-up history is different but the same on every run.
[[nodiscard]] std::uint32_t seed_for(std::string_view server, std::string_view name) {
  std::uint32_t hash = 2166136261u;
  for (const std::string_view part : {server, std::string_view("/"), name}) {
    for (const char c : part) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
  }
  return hash;
}

[[nodiscard]] std::uint32_t next_random(std::uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

[[nodiscard]] std::string two_digits(unsigned value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
         static_cast<char>('0' + value % 10);
}

void page_head(std::string& out, std::string_view title) {
  line(out, "<!DOCTYPE html>");
  line(out, "<html lang=\"zh-CN\">");
  line(out, "<head>");
  line(out, "<meta charset=\"utf-8\">");
  line(out, "<title>", title, " - 战绩统计（演示）</title>");
  line(out, "<style>");
  line(out, "body { margin: 0; font: 14px/1.6 \"Microsoft YaHei\", sans-serif; color: #333; }");
  line(out, ".top { background: #1d2b3a; color: #e8d9a8; padding: 8px 24px; }");
  line(out, ".top a { color: #e8d9a8; margin-right: 18px; text-decoration: none; }");
  line(out, ".search { padding: 12px 24px; background: #f4f1ea; }");
  line(out, ".main { display: flex; gap: 24px; padding: 16px 24px; }");
  line(out, ".card { flex: 1; border: 1px solid #d8d2c4; padding: 12px 18px; }");
  line(out, ".card h2 small { color: #888; font-weight: normal; margin-left: 8px; }");
  line(out, ".level em { font-size: 22px; color: #c28f2c; font-style: normal; }");
  line(out, ".history { width: 100%; border-collapse: collapse; margin-top: 12px; }");
  line(out, ".history th, .history td { border-bottom: 1px solid #eee; padding: 4px 6px; }");
  line(out, ".history tr.win td.result { color: #2a7a2a; }");
  line(out, ".history tr.loss td.result { color: #b03030; }");
  line(out, ".side { width: 220px; }");
  line(out, ".side li span { display: inline-block; width: 96px; }");
  line(out, ".foot { color: #999; font-size: 12px; padding: 12px 24px; }");
  line(out, "</style>");
  line(out, "</head>");
  line(out, "<body>");
  line(out, "<div class=\"top\">");
  line(out, "  <a href=\"index.php\">首页</a><a href=\"playerDetail.php\">召唤师查询</a>",
       "<a href=\"heroes.php\">英雄数据</a><a href=\"rank.php\">排行榜</a>",
       "<a href=\"help/index.html\">帮助</a>");
  line(out, "</div>");
}

void search_form(std::string& out, const Lookup& lookup) {
  line(out, "<form class=\"search\" action=\"playerDetail.php\" method=\"get\">");
  line(out, "  大区：<input name=\"serverName\" value=\"", shown(lookup.server_name), "\">");
  line(out, "  召唤师：<input name=\"playerName\" value=\"", shown(lookup.player_name), "\">");
  line(out, "  <button type=\"submit\">查询</button>");
  line(out, "</form>");
}

void page_tail(std::string& out) {
  line(out, "<div class=\"side\">");
  line(out, "<h4>网站公告</h4>");
  line(out, "<ul class=\"news\">");
  line(out, "  <li><a href=\"news/1.html\">战绩数据改为每十分钟同步一次</a></li>");
  line(out, "  <li><a href=\"news/2.html\">隐藏分算法说明已更新，胜率分权重调整</a></li>");
  line(out, "  <li><a href=\"news/3.html\">新增教育网专区的战绩收录</a></li>");
  line(out, "  <li><a href=\"news/4.html\">排行榜每周一凌晨重置，敬请留意</a></li>");
  line(out, "  <li><a href=\"news/5.html\">查询不到战绩？请先检查大区是否选择正确</a></li>");
  line(out, "</ul>");
  line(out, "<h4>服务器状态</h4>");
  line(out, "<ul>");
  for (std::size_t i = 0; i < std::size(servers); ++i) {
    line(out, "  <li><span>", servers[i], "</span><i>", i % 7 == 3 ? "繁忙" : "正常", "</i></li>");
  }
  line(out, "</ul>");
  line(out, "</div>");
  line(out, "</div>");
  line(out, "<div class=\"foot\">本站为本地演示服务，所列召唤师与数据均为虚构，仅供试用。",
       "数据每 10 分钟更新一次 · 联系我们 · 使用条款</div>");
  line(out, "</body>");
  line(out, "</html>");
}

void match_history(std::string& out, const DemoPlayer& player) {
  std::uint32_t state = seed_for(player.server_name, player.player_name);
  line(out, "<h3>最近战绩</h3>");
  line(out, "<table class=\"history\">");
  line(out, "<tr><th>时间</th><th>模式</th><th>英雄</th><th>结果</th><th>击杀/死亡/助攻</th>",
       "<th>时长</th><th>评分</th></tr>");
  for (unsigned row = 0; row < 12; ++row) {
    const bool won = next_random(state) % 100 < 55;
    const std::string when = two_digits(6) + "-" + two_digits(28 - row * 2) + " " +
                             two_digits(12 + next_random(state) % 12) + ":" +
                             two_digits(next_random(state) % 60);
    const std::string kda = std::to_string(next_random(state) % 15) + "/" +
                            std::to_string(next_random(state) % 10) + "/" +
                            std::to_string(next_random(state) % 20);
    const std::string minutes = std::to_string(20 + next_random(state) % 30);
    const std::string seconds = two_digits(next_random(state) % 60);
    const std::string rating = (won ? "+" : "-") + std::to_string(10 + next_random(state) % 15);
    line(out, "<tr class=\"", won ? "win" : "loss", "\"><td>", when, "</td><td>",
         modes[next_random(state) % std::size(modes)], "</td><td>",
         heroes[next_random(state) % std::size(heroes)], "</td><td class=\"result\">",
         won ? "胜利" : "失败", "</td><td>", kda, "</td><td>", minutes, "分", seconds,
         "秒</td><td>", rating, "</td></tr>");
  }
  line(out, "</table>");
}

[[nodiscard]] std::string found_page(const Lookup& lookup, const DemoPlayer& player) {
  const std::string name = shown(player.player_name);
  const std::string level = std::to_string(player.level);
  const std::string power = std::to_string(player.combat_power);
  const std::string power_rank = std::to_string(player.combat_power * 3 / 5);
  const std::string power_games = std::to_string(player.combat_power - player.combat_power * 3 / 5);
  const std::string hidden = std::to_string(player.hidden_score);
  std::uint32_t state = seed_for(player.player_name, player.server_name);
  const unsigned games = 300 + next_random(state) % 1500;
  const unsigned wins = games / 2 + next_random(state) % (games / 10);

  std::string out;
  out.reserve(8192);
  page_head(out, name + " - 召唤师详情");
  search_form(out, lookup);
  line(out, "<div class=\"main\">");
  line(out, "<div class=\"card\">");
  line(out, "<h2>", name, "<small>", shown(player.server_name), "</small></h2>");
  // The figures stand exactly where the program's page rules look for them: the
  // level after "</span>", CR LF, TAB and two spaces, "<em>"; the combat power after
  // "算法</a>", CR LF and sixteen spaces, up to " = "; the hidden score after
  // "(基础分) + " up to "(胜率分)". Change these lines and lookups break.
  out.append("<p class=\"level\"><span>召唤师等级</span>\r\n\t  <em>")
      .append(level)
      .append("</em> 级</p>\r\n");
  out.append(
         "<p class=\"power\">战斗力 <a href=\"help/power.html\" target=\"_blank\">查看算法</a>\r\n")
      .append("                ")  // sixteen spaces
      .append(power)
      .append(" = ")
      .append(power_rank)
      .append("(段位) + ")
      .append(power_games)
      .append("(场次)</p>\r\n");
  out.append("<p class=\"elo\">隐藏分 <span class=\"tip\">(基础分) + ")
      .append(hidden)
      .append("(胜率分)</span></p>\r\n");
  line(out, "<ul class=\"summary\">");
  line(out, "  <li>总场次：", std::to_string(games), "</li>");
  line(out, "  <li>胜场：", std::to_string(wins), "</li>");
  line(out, "  <li>负场：", std::to_string(games - wins), "</li>");
  line(out, "  <li>胜率：", std::to_string(wins * 100 / games), "%</li>");
  line(out, "</ul>");
  match_history(out, player);
  line(out, "</div>");
  page_tail(out);
  return out;
}

[[nodiscard]] std::string no_data_page(const Lookup& lookup) {
  std::string out;
  out.reserve(6144);
  page_head(out, "召唤师详情");
  search_form(out, lookup);
  line(out, "<div class=\"main\">");
  line(out, "<div class=\"card\">");
  // The program recognises this page by the image tag directly followed by
  // "暂无数据！" (full-width exclamation mark) and "</h3>".
  line(out, "<h3><img src=\"images/call2login.gif\">暂无数据！</h3>");
  line(out, "<p>没有找到这位召唤师。请确认：</p>");
  line(out, "<ol>");
  line(out, "  <li>所选大区与召唤师所在大区一致；</li>");
  line(out, "  <li>召唤师名称完整无误，注意大小写与空格；</li>");
  line(out, "  <li>新注册的召唤师需要完成至少一场对局后才会收录。</li>");
  line(out, "</ol>");
  // A demo user who mistyped sees whom the demo knows.
  line(out, "<h4>本演示服务收录的召唤师</h4>");
  line(out, "<ul class=\"known\">");
  for (const DemoPlayer& player : roster) {
    line(out, "  <li><a href=\"playerDetail.php?serverName=", link_value(player.server_name),
         "&amp;playerName=", link_value(player.player_name), "\">", shown(player.player_name),
         "</a>（", shown(player.server_name), "）</li>");
  }
  line(out, "</ul>");
  line(out, "</div>");
  page_tail(out);
  return out;
}

}  // namespace

std::string percent_decode(std::string_view encoded) {
  std::string out;
  out.reserve(encoded.size());
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < encoded.size() && hex_value(encoded[i + 1]) >= 0 &&
               hex_value(encoded[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hex_value(encoded[i + 1]) * 16 + hex_value(encoded[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

Lookup read_lookup(std::string_view target) {
  Lookup lookup;
  bool have_server = false;
  bool have_player = false;
  const std::size_t question = target.find('?');
  std::string_view query = question == std::string_view::npos ? "" : target.substr(question + 1);
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? "" : query.substr(amp + 1);
    const std::size_t equals = pair.find('=');
    const std::string key = percent_decode(pair.substr(0, equals));
    const std::string value =
        equals == std::string_view::npos ? "" : percent_decode(pair.substr(equals + 1));
    if (key == "serverName" && !have_server) {
      lookup.server_name = value;
      have_server = true;
    } else if (key == "playerName" && !have_player) {
      lookup.player_name = value;
      have_player = true;
    }
  }
  return lookup;
}

std::string player_detail_page(const Lookup& lookup) {
  for (const DemoPlayer& player : roster) {
    if (player.server_name == lookup.server_name && player.player_name == lookup.player_name) {
      return found_page(lookup, player);
    }
  }
  return no_data_page(lookup);
}

std::string error_page(int status) {
  const std::string code = std::to_string(status);
  const std::string_view what = status == 404 ? "页面不存在" : "请求有误";
  std::string out;
  line(out, "<!DOCTYPE html>");
  line(out, "<html lang=\"zh-CN\"><head><meta charset=\"utf-8\"><title>", code, " ", what,
       "</title></head>");
  line(out, "<body><h1>", code, " ", what, "</h1><p><a href=\"index.php\">返回首页</a></p></body>");
  line(out, "</html>");
  return out;
}

}  // namespace tessevin::demo
