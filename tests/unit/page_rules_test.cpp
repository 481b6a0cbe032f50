#include "query/page_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "support/gbk.h"

namespace tessevin {
namespace {

using testing::gbk;

// Pieces of a player page as the service lays it out (UTF-8 here, converted to code
// page 936 before the rules read it, as the query does).
const std::string level_left = "</span>\r\n\t  <em>";
const std::string power_left = "算法</a>\r\n" + std::string(16, ' ');
const std::string hidden_left = "(基础分) + ";
const std::string hidden_right = "(胜率分)";
const std::string no_data_left = "<img src=\"images/call2login.gif\">";

std::string figures(const std::string& level, const std::string& power, const std::string& hidden) {
  return "<div class=\"lv\"><span>召唤师等级</span>" + level_left + level + "</em></div>\r\n" +
         "<p>战斗力 <a href=\"/help\">" + power_left + power + " = 基础 + 胜场</p>\r\n" +
         "<p>隐藏分 = 1200" + hidden_left + hidden + hidden_right + "</p>\r\n";
}

struct Expected {
  bool no_data;
  std::string level, power, hidden;
};

void expect_outcome(const std::string& utf8_page, const Expected& want) {
  const PlayerPage got = parse_player_page(Text(gbk(utf8_page)));
  EXPECT_EQ(got.no_data, want.no_data);
  EXPECT_EQ(got.summary.level.str(), gbk(want.level));
  EXPECT_EQ(got.summary.combat_power.str(), gbk(want.power));
  EXPECT_EQ(got.summary.hidden_score.str(), gbk(want.hidden));
}

TEST(ParsePlayerPage, ReadsFiguresAndNoData) {
  const std::string player = figures("30", "1234", "1521");
  static const struct {
    const char* what;
    std::string page;
    Expected want;
  } cases[] = {
      {"empty page is three empty figures, not no data", "", {false, "", "", ""}},
      {"page of another layout", "<html><body>维护中</body></html>", {false, "", "", ""}},
      {"player page", "<html>" + player + "</html>", {false, "30", "1234", "1521"}},
      {"figures in any order on the page",
       hidden_left + "7" + hidden_right + power_left + "8 = " + level_left + "9</em>",
       {false, "9", "8", "7"}},
      {"no-data answer", "<h3>" + no_data_left + "暂无数据！</h3>", {true, "", "", ""}},
      {"no data wins over figures on the same page",
       player + "<h3>" + no_data_left + "暂无数据！</h3>",
       {true, "", "", ""}},
      // Anything but the exact text is not "no data", and the figures are cut.
      {"space before the no-data text",
       no_data_left + " 暂无数据！</h3>" + player,
       {false, "30", "1234", "1521"}},
      {"line break before the no-data text",
       no_data_left + "\n暂无数据！</h3>" + player,
       {false, "30", "1234", "1521"}},
      {"ASCII exclamation mark",
       no_data_left + "暂无数据!</h3>" + player,
       {false, "30", "1234", "1521"}},
      {"no-data marker with no </h3> after it",
       "</h3>" + player + no_data_left + "暂无数据！",
       {false, "30", "1234", "1521"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    expect_outcome(c.page, c.want);
  }
}

TEST(ParsePlayerPage, FiguresAreTheBytesBetweenMarkers) {
  static const struct {
    const char* what;
    std::string page;
    Expected want;
  } cases[] = {
      {"spaces around a figure are kept",
       figures(" 30 ", "1234", "1521"),
       {false, " 30 ", "1234", "1521"}},
      {"an equals sign without spaces stays inside combat power",
       figures("1", "12=34", "2"),
       {false, "1", "12=34", "2"}},
      {"right marker only before the left marker",
       "</em>" + hidden_right + " = " + level_left + "5" + power_left + "6" + hidden_left + "7",
       {false, "", "", ""}},
      {"only the first hidden-score marker counts",
       hidden_left + "1" + hidden_left + "2" + hidden_right,
       {false, "", "", "1" + hidden_left + "2"}},
      {"markers are case sensitive", level_left + "30</EM> x </em>", {false, "30</EM> x ", "", ""}},
      {"level closed only by capitals", level_left + "30</EM>", {false, "", "", ""}},
      {"LF-only line breaks miss level and combat power",
       "</span>\n\t  <em>30</em>算法</a>\n" + std::string(16, ' ') + "1234 = " + hidden_left +
           "1521" + hidden_right,
       {false, "", "", "1521"}},
      {"fifteen spaces after the line break miss combat power",
       "算法</a>\r\n" + std::string(15, ' ') + "1234 = ",
       {false, "", "", ""}},
      {"a tab too many misses the level", "</span>\r\n\t\t  <em>30</em>", {false, "", "", ""}},
      {"Chinese figures are cut whole",
       figures("三十", "一千", "高"),
       {false, "三十", "一千", "高"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    expect_outcome(c.page, c.want);
  }
}

// The markers only match where a character begins: a lead byte just before a marker
// swallows the marker's first byte as its own second byte.
TEST(ParsePlayerPage, MarkerAfterALeadByteIsNotACharacterBoundary) {
  const std::string hidden = "(" + gbk("基础分) + ") + "7" + gbk("(胜率分)");
  EXPECT_EQ(parse_player_page(Text("\xB1" + hidden)).summary.hidden_score.str(), "");
  EXPECT_EQ(parse_player_page(Text("\xB1\xB1" + hidden)).summary.hidden_score.str(), "7");
  EXPECT_EQ(parse_player_page(Text("a" + hidden)).summary.hidden_score.str(), "7");
}

// The markers are pinned byte for byte: CR, LF, TAB, sixteen spaces, ASCII
// parentheses and the full-width exclamation mark.
TEST(ParsePlayerPage, MarkerBytes) {
  namespace m = page_markers;
  static const struct {
    const char* marker;
    std::string want;
  } cases[] = {
      {m::no_data_left, no_data_left},
      {m::no_data_right, "</h3>"},
      {m::no_data_value, gbk("暂无数据！")},
      {m::level_left, "</span>\x0D\x0A\x09\x20\x20<em>"},
      {m::level_right, "</em>"},
      {m::combat_power_left, "\xCB\xE3\xB7\xA8</a>\x0D\x0A" + std::string(16, '\x20')},
      {m::combat_power_right, "\x20=\x20"},
      {m::hidden_score_left, "\x28\xBB\xF9\xB4\xA1\xB7\xD6\x29\x20\x2B\x20"},
      {m::hidden_score_right, "\x28\xCA\xA4\xC2\xCA\xB7\xD6\x29"},
  };
  for (const auto& c : cases) EXPECT_EQ(std::string(c.marker), c.want);
  EXPECT_EQ(std::string(m::no_data_left).size(), 33u);
  EXPECT_EQ(std::string(m::no_data_value), "\xD4\xDD\xCE\xDE\xCA\xFD\xBE\xDD\xA3\xA1");
}

}  // namespace
}  // namespace tessevin
