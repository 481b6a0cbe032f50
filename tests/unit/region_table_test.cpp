#include "query/region_table.h"

#include <gtest/gtest.h>

#include <string>

#include "query/query.h"
#include "support/gbk.h"
#include "support/region_items.h"

namespace tessevin {
namespace {

using testing::gbk;

TEST(RegionTable, ItemsAndServerNames) {
  const auto& items = testing::region_items_utf8;
  static const char* const numerals[] = {"一",   "二",   "三",   "四",   "五",   "六",   "七",
                                         "八",   "九",   "十",   "十一", "十二", "十三", "十四",
                                         "十五", "十六", "十七", "十八", "十九"};
  ASSERT_EQ(std::size(items), static_cast<std::size_t>(region_count));
  for (int position = 0; position < region_count; ++position) {
    SCOPED_TRACE(position);
    const Region& region = region_table[static_cast<std::size_t>(position)];
    EXPECT_EQ(std::string(region.item_text), gbk(items[position]));
    std::string want;  // the group word and the entry's number within its group
    if (position >= 1 && position <= 19) want = gbk(std::string("电信") + numerals[position - 1]);
    if (position >= 21 && position <= 26) want = gbk(std::string("网通") + numerals[position - 21]);
    if (position == 28) want = gbk("教育一");
    EXPECT_EQ(server_name_for(position).str(), want);
  }
  // The headings' widths: five equals signs before the first, four elsewhere.
  EXPECT_EQ(std::string(region_table[0].item_text).size(), 17u);
  EXPECT_EQ(std::string(region_table[20].item_text).size(), 16u);
  EXPECT_EQ(std::string(region_table[27].item_text).size(), 16u);
  for (int outside : {-1, 29, 1000, -2147483647 - 1}) EXPECT_EQ(server_name_for(outside).str(), "");
}

TEST(PlayerPageAddress, EncodesBothValuesAsUtf8) {
  static const struct {
    const char* server;  // UTF-8, converted to code page 936 first
    const char* name;
    const char* query;
  } cases[] = {
      {"电信一", "中a", "serverName=%E7%94%B5%E4%BF%A1%E4%B8%80&playerName=%E4%B8%ADa"},
      {"", "ab 12", "serverName=&playerName=ab%2012"},  // a heading: empty server name
      {"电信十九", "", "serverName=%E7%94%B5%E4%BF%A1%E5%8D%81%E4%B9%9D&playerName="},
      {"教育一", " x ", "serverName=%E6%95%99%E8%82%B2%E4%B8%80&playerName=%20x%20"},
      {"网通一", "a-b.c_d~e/f+g&h",
       "serverName=%E7%BD%91%E9%80%9A%E4%B8%80&playerName=a-b.c%5Fd%7Ee%2Ff%2Bg%26h"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(
        player_page_address(Text("stats.example:81"), Text(gbk(c.server)), Text(gbk(c.name))).str(),
        std::string("http://stats.example:81/playerDetail.php?") + c.query);
  }
}

TEST(QueryMessages, Texts) {
  EXPECT_EQ(std::string(message_no_region), gbk("请选择大区！"));
  EXPECT_EQ(std::string(message_no_player), gbk("请输入正确的召唤师信息"));
}

}  // namespace
}  // namespace tessevin
