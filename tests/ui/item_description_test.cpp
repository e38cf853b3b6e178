// Where the main window shows the item description: the grid slots, the shop list and
// the storage list of the sample game.
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

using ui::Form1;

ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

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
