// The two-line item description, and where the main window shows it: the grid slots,
// the shop list and the storage list of the sample game.
#include "ui/item_description.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/forms.h"
#include "ui/game_folder_fixture.h"
#include "window/form1.h"

namespace {

using ui::DescribeItem;
using ui::Form1;

ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

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
    const ui::ItemLines lines = DescribeItem(c.item);
    EXPECT_EQ(lines.line1, c.line1) << c.what;
    EXPECT_EQ(lines.line2, c.line2) << c.what;
    EXPECT_EQ(c.item, before) << c.what;
  }
}

class ItemDescriptionTest : public uitest::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    G.GAMELEVEL = 1;
  }
  std::string Line(int k) const { return Form1.ItemInf(k)->Caption; }
  void Point(int slot) { Form1.Iitem(slot)->OnMouseMove(0, 0, 0, 0); }
};

TEST_F(ItemDescriptionTest, PointingAtASlotPlacesThePanelByTheSlotsRow) {
  const ItemRecord sword{.Name = "剑", .Type = 20, .Type2 = "", .Weight = 5, .Ex = 2000};
  const struct {
    const char* what;
    int slot;
    bool filled;
    bool visibleBefore;
    bool visibleAfter;
    int topAfter;
    bool described;
  } cases[] = {
      {"a worn item", 3, true, false, true, 1200, true},
      {"a bag item", 21, true, false, true, 4200, true},
      {"the last bag slot", 56, true, true, true, 4200, true},
      {"a belt item, panel hidden", 12, true, false, false, 4890, false},
      {"a belt item, panel shown", 16, true, true, true, 4890, false},
      {"an empty bag slot", 30, false, true, false, 4890, false},
      {"an empty worn slot", 1, false, true, false, 4890, false},
  };
  for (const auto& c : cases) {
    Slot(c.slot) = c.filled ? sword : ItemRecord{};
    Form1.PItemInf->Top = 4890;
    Form1.PItemInf->Visible = c.visibleBefore;
    Form1.ItemInf(1)->Caption = "旧";
    Form1.ItemInf(2)->Caption = "旧";
    Point(c.slot);
    EXPECT_EQ(Form1.PItemInf->Visible, c.visibleAfter) << c.what;
    EXPECT_EQ(Form1.PItemInf->Top, c.topAfter) << c.what;
    EXPECT_EQ(Line(1), c.described ? "剑『 』重量：5 Lv：1" : "旧") << c.what;
    EXPECT_EQ(Line(2), c.described ? "" : "旧") << c.what;
    EXPECT_EQ(Form1.PItemInf->Left, 570) << c.what;
  }
}

TEST_F(ItemDescriptionTest, TheShopListDescribesTheTableRowBesideTheBag) {
  G.SoundOn = 1;
  Form1.BuyList->AddItem("木剑");
  Form1.BuyList->AddItem("无此物");
  Form1.Pmc->Visible = true;
  Form1.Psys2->Visible = false;
  Form1.BuyList->SetListIndex(0);
  EXPECT_EQ(std::filesystem::path(Form1.Ibuy->Picture).filename(), "56.bmp");
  EXPECT_EQ(Form1.Lbuy->Caption, "50");  // the full price
  EXPECT_TRUE(Form1.PItemInf->Visible);
  EXPECT_EQ(Form1.PItemInf->Top, 4890);
  EXPECT_TRUE(Form1.Psys2->Visible);
  EXPECT_FALSE(Form1.Pmc->Visible);
  EXPECT_EQ(Line(1), "木剑『 等级：1 』重量：5 Lv：0");  // a shop weapon has no experience yet
  EXPECT_EQ(Line(2), "攻击 1-3 ");
  EXPECT_TRUE(Played("Sound\\按键1.wav"));

  for (int row : {1, -1}) {  // a name the table does not hold, then no row
    Form1.BuyList->SetListIndex(0);
    Form1.BuyList->SetListIndex(row);
    EXPECT_TRUE(Form1.Ibuy->Picture.empty()) << row;
    EXPECT_FALSE(Form1.PItemInf->Visible) << row;
  }
}

TEST_F(ItemDescriptionTest, TheStorageListDescribesTheStoredItem) {
  Slot(64) = ItemRecord{.Name = "盾", .Type = 21, .Type2 = "", .Pic1 = 8, .Df = 2, .DfMax = 3, .Weight = 5};
  Form1.BankList->Items[3] = "盾";
  Form1.Pmc->Visible = true;
  Form1.BankList->SetListIndex(3);
  EXPECT_EQ(std::filesystem::path(Form1.Ibank->Picture).filename(), "8.bmp");
  EXPECT_TRUE(Form1.PItemInf->Visible);
  EXPECT_EQ(Form1.PItemInf->Top, 4890);
  EXPECT_TRUE(Form1.Psys2->Visible);
  EXPECT_FALSE(Form1.Pmc->Visible);
  EXPECT_EQ(Line(1), "盾『 』重量：5");
  EXPECT_EQ(Line(2), "防御 2-3 ");

  Form1.BankList->SetListIndex(4);  // "空位"
  EXPECT_TRUE(Form1.Ibank->Picture.empty());
  EXPECT_FALSE(Form1.PItemInf->Visible);
  EXPECT_EQ(Line(1), "盾『 』重量：5");  // the text stays
}

TEST_F(ItemDescriptionTest, PointingAtTheStoragePanelOrTheDescriptionHidesIt) {
  for (plat::Control* c : {Form1.Pbank, Form1.PItemInf}) {
    Form1.PItemInf->Visible = true;
    c->OnMouseMove(0, 0, 0, 0);
    EXPECT_FALSE(Form1.PItemInf->Visible) << c->Name;
  }
}

}  // namespace
