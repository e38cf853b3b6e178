// The two-line description of an item: what each field adds to which line, in order.
#include "world/item_description.h"

#include <gtest/gtest.h>

#include "common/game_state.h"

namespace {

TEST(DescribeItemTest, BuildsTheTwoLines) {
  const struct {
    const char* what;
    ItemRecord item;
    const char* line1;
    const char* line2;
  } cases[] = {
      {"a forged weapon",
       {.Name = "柴刀", .Type = 20, .Type2 = "", .Dc = 2, .DcMax = 7, .Acc = 1, .Weight = 8, .dzlevel = 1,
        .NdLevel = 5, .Ex = 2500},
       "柴刀『 等级：5 』重量：8 锻造+1 Lv：1", "攻击 2-7 准确+1 "},
      {"no requirements", {.Name = "柴刀", .Type = 3, .Type2 = "", .Weight = 8}, "柴刀『 』重量：8", ""},
      {"every requirement", {.Name = "戒", .Type = 14, .Type2 = "", .NdDc = 4, .NdMc = 5, .NdLevel = 3},
       "戒『 等级：3 攻：4 魔：5 』重量：0", ""},
      {"a potion", {.Name = "金创药", .Type = 2, .Type2 = "", .Hp = 50, .Weight = 1}, "金创药『 』重量：1",
       "HP+50 快速恢复 "},
      {"weapon level 0", {.Name = "剑", .Type = 20, .Type2 = "", .Ex = 1999}, "剑『 』重量：0 Lv：0", ""},
      {"weapon level 1", {.Name = "剑", .Type = 20, .Type2 = "", .Ex = 2000}, "剑『 』重量：0 Lv：1", ""},
      {"no level off a weapon", {.Name = "盔", .Type = 10, .Type2 = "", .Ex = 9000}, "盔『 』重量：0", ""},
      {"attack from 0", {.Name = "刀", .Type = 3, .Type2 = "", .Dc = 0, .DcMax = 5}, "刀『 』重量：0", "攻击 0-5 "},
      {"magic defence from 0, a drain of 1",
       {.Name = "甲", .Type = 13, .Type2 = "", .MfMax = 2, .XiHP = 1}, "甲『 』重量：0", "魔防 0-2 吸血+1 "},
      {"skill 1", {.Name = "剑", .Type = 3, .Type2 = "", .SP = 1}, "剑『 』重量：0 精准打击+1", ""},
      {"skill 15", {.Name = "剑", .Type = 3, .Type2 = "", .SP = 15}, "剑『 』重量：0 太极炎阵+1", ""},
      {"skill 5", {.Name = "剑", .Type = 3, .Type2 = "", .SP = 5}, "剑『 』重量：0", ""},
      {"skill 16", {.Name = "剑", .Type = 3, .Type2 = "", .SP = 16}, "剑『 』重量：0", ""},
      {"skill and forge in order",
       {.Name = "剑", .Type = 20, .Type2 = "", .dzlevel = 9, .SP = 12, .Ex = 4001},
       "剑『 』重量：0 怒石+1 锻造+9 Lv：2", ""},
      {"every stat",
       {.Name = "宝", .Type = 2, .Type2 = "", .Hp = 1, .Mp = 2, .Dc = 3, .DcMax = 4, .DcSpeed = 2, .Mc = 5,
        .McMax = 6, .Df = 7, .DfMax = 8, .Mf = 9, .MfMax = 10, .Nb = 12, .Acc = 11, .XiHP = 14, .MaBi = 15,
        .Luck = 13, .zd = 16},
       "宝『 』重量：0",
       "HP+1 MP+2 攻击 3-4 魔法 5-6 防御 7-8 魔防 9-10 准确+11 躲避+12 幸运+13 吸血+14 15%麻痹 16%中毒 急攻 快速恢复 "},
      {"quick attack", {.Name = "剑", .Type = 3, .Type2 = "", .DcSpeed = 1}, "剑『 』重量：0", "快攻 "},
      {"negative numbers",
       {.Name = "坏", .Type = 20, .Type2 = "", .Hp = -5, .DcSpeed = 3, .Weight = -2, .NdLevel = -1, .Ex = -2500},
       "坏『 』重量：-2 Lv：-1", ""},
  };
  for (const auto& c : cases) {
    const ItemRecord before = c.item;
    const ItemLines lines = DescribeItem(c.item);
    EXPECT_EQ(lines.line1, c.line1) << c.what;
    EXPECT_EQ(lines.line2, c.line2) << c.what;
    EXPECT_EQ(c.item, before) << c.what;
  }
}

}  // namespace
