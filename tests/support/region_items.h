// The region list's 29 item texts as a person reads them (UTF-8), written out
// independently of the program's own table so tests can hold it to them.
#pragma once

namespace tessevin::testing {

// clang-format off
inline constexpr const char* region_items_utf8[] = {
    "=====电信大区====", "艾欧尼亚", "祖安", "诺克萨斯", "班德尔城", "皮尔特沃夫", "战争学院",
    "巨神峰", "雷瑟守备", "钢铁烈阳", "裁决之地", "黑色玫瑰", "暗影岛", "均衡教派", "水晶之痕",
    "影流", "守望之海", "征服之海", "卡拉曼达", "皮城警备", "====网通大区====", "比尔吉沃特",
    "德玛西亚", "费雷尔卓德", "无畏先锋", "恕瑞玛", "扭曲丛林", "====教育大区====", "教育网专区"};
// clang-format on

}  // namespace tessevin::testing
