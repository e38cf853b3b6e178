// Ground items: taking an entry off the list, picking up into the bag or the purse, and
// throwing a bag item down near the player.
#include "world/ground_items.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "window/form1.h"

namespace {

ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

ItemRecord Named(const std::string& name, int weight = 0) {
  ItemRecord r;
  r.Name = name;
  r.Weight = weight;
  return r;
}

class GroundItemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = plat::ProgramFolder();
    plat::SetProgramFolder(dir.path());
    G = GameState{};
    plat::Application::Get().Reset();
    ui::BuildMainWindow();
    G.SubMap = 1;
    SetPartSize(1, 40, 40);
    G.ViewX = 10;  // the player on (18, 18)
    G.ViewY = 10;
  }
  void TearDown() override {
    plat::Application::Get().Reset();
    G = GameState{};
    plat::SetProgramFolder(saved_);
  }

  testsupport::TempDir dir;
  plat::fs::path saved_;
};

TEST_F(GroundItemsTest, RemovingAnEntryMovesTheLaterOnesUpWithTheirCells) {
  AddGroundItem(3, 3, Named("甲"));
  AddGroundItem(4, 4, Named("乙"));
  AddGroundItem(5, 5, Named("丙"));
  PickUpGroundItem(3, 3);
  EXPECT_EQ(G.GroundItemCount, 2);
  EXPECT_EQ(ItemGridAt(3, 3), 0);
  EXPECT_EQ(ItemGridAt(4, 4), 1);
  EXPECT_EQ(ItemGridAt(5, 5), 2);
  EXPECT_EQ(G.GroundItems[1].Name, "乙");
  EXPECT_TRUE(G.GroundItems[3].Name.empty());
  AddGroundItem(6, 6, Named("丁"));
  EXPECT_EQ(G.GroundItemCount, 3);
  EXPECT_EQ(ItemGridAt(6, 6), 3);
  // An index outside the list changes nothing.
  RemoveGroundItem(0);
  RemoveGroundItem(4);
  EXPECT_EQ(G.GroundItemCount, 3);
}

TEST_F(GroundItemsTest, AnItemOverlaidOnAnotherKeepsItsCellWhenTheOlderGoes) {
  AddGroundItem(3, 3, Named("甲"));
  AddGroundItem(3, 3, Named("乙"));  // lays over: the cell now names entry 2
  RemoveGroundItem(1);
  EXPECT_EQ(G.GroundItemCount, 1);
  EXPECT_EQ(ItemGridAt(3, 3), 1);
  EXPECT_EQ(G.GroundItems[1].Name, "乙");
}

TEST_F(GroundItemsTest, PickingUpFillsTheFirstEmptyBagSlot) {
  Slot(21) = Named("石");
  ItemRecord sword = Named("铁剑", 9);
  sword.Type = 20;
  AddGroundItem(18, 18, sword);
  PickUpGroundItem(18, 18);
  EXPECT_EQ(Slot(22).Name, "铁剑");
  EXPECT_EQ(Slot(22).Weight, 9);
  EXPECT_EQ(Slot(22).X, 0);
  EXPECT_EQ(Slot(22).Y, 0);
  EXPECT_EQ(G.GroundItemCount, 0);
  EXPECT_EQ(ItemGridAt(18, 18), 0);
  // A cell with nothing on it changes nothing.
  PickUpGroundItem(18, 18);
  PickUpGroundItem(-4, 900);
  EXPECT_TRUE(Slot(23).Name.empty());
}

TEST_F(GroundItemsTest, AFullBagLeavesTheItemButGoldAlwaysGoesToThePurse) {
  for (int s = 21; s <= 56; ++s) Slot(s) = Named("石");
  AddGroundItem(18, 18, Named("铁剑"));
  PickUpGroundItem(18, 18);
  EXPECT_EQ(G.GroundItemCount, 1);
  EXPECT_EQ(ItemGridAt(18, 18), 1);

  G.Player.Money = 10;
  AddGroundItem(19, 18, Named("金币120"));
  PickUpGroundItem(19, 18);
  EXPECT_EQ(G.Player.Money, 130);
  AddGroundItem(19, 18, Named("金币0"));
  PickUpGroundItem(19, 18);
  EXPECT_EQ(G.Player.Money, 130);
  EXPECT_EQ(G.GroundItemCount, 1);
  // The purse never wraps round.
  G.Player.Money = 2147483600;
  AddGroundItem(19, 18, Named("金币99999"));
  PickUpGroundItem(19, 18);
  EXPECT_EQ(G.Player.Money, 2147483647);
}

TEST_F(GroundItemsTest, ThrowingAwayLaysTheItemNearThePlayerAndEmptiesTheSlot) {
  Slot(25) = Named("木剑");
  Slot(26) = Named("布衣");
  G.SelectedSlot = 25;
  ui::Form1.ShItem->Visible = true;
  DropBagItem(25);
  EXPECT_TRUE(Slot(25).Name.empty());
  EXPECT_EQ(ItemGridAt(17, 17), 1);  // ring 1, first cell
  EXPECT_EQ(G.GroundItems[1].Name, "木剑");
  EXPECT_EQ(G.SelectedSlot, 0);
  EXPECT_FALSE(ui::Form1.ShItem->Visible);
  DropBagItem(26);
  EXPECT_EQ(ItemGridAt(17, 18), 2);  // the next cell in the search order
}

TEST_F(GroundItemsTest, WithNoCellToLayItOnTheItemStaysInTheBag) {
  SetPartSize(1, 1, 1);  // no cell but the player's own (and the last row and column)
  G.ViewX = -7;
  G.ViewY = -7;
  Slot(30) = Named("木剑");
  G.SelectedSlot = 30;
  DropBagItem(30);
  EXPECT_EQ(Slot(30).Name, "木剑");
  EXPECT_EQ(G.GroundItemCount, 0);
  EXPECT_EQ(G.SelectedSlot, 0);
  // An empty slot or one out of range lays nothing.
  DropBagItem(31);
  DropBagItem(0);
  DropBagItem(121);
  EXPECT_EQ(G.GroundItemCount, 0);
}

TEST_F(GroundItemsTest, GoldDropsARandomAmountWithTheIconOfItsSize) {
  struct Case {
    std::string name;
    std::vector<double> draws;
    std::string built;  // "" = nothing drops
    int pic;
  };
  const Case cases[] = {
      {"金币1", {0.7}, "金币0", 0},
      {"金币10", {0.6}, "金币11", 2},
      {"金币7.9", {0.0}, "金币3", 1},     // N is rounded down to 7
      {"金币100", {0.0}, "金币50", 3},
      {"金币100", {0.5}, "金币100", 5},
      {"金币100", {0.999}, "金币149", 5},
      {"金币60", {0.7}, "金币72", 4},
      {"金币", {}, "", 0},
      {"金币abc", {}, "", 0},
      {"金币-5", {}, "", 0},
  };
  for (const Case& c : cases) {
    testsupport::ScriptedDraws draws(c.draws);
    std::string name = c.name;
    const ItemRecord rec = MakeDropItem(name);
    EXPECT_EQ(draws.Left(), 0u) << c.name;
    EXPECT_EQ(rec.Name, c.built) << c.name;
    EXPECT_EQ(rec.Pic1, c.pic) << c.name;
    EXPECT_EQ(rec.Type, 0) << c.name;
    // The caller's text becomes the amount dropped.
    EXPECT_EQ(name, c.built.empty() ? c.name : c.built) << c.name;
  }
}

}  // namespace
