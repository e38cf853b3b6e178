// The shop's buy and sell buttons on the real main window with the sample item table:
// what each click does to the gold and the bag, and that both survive a save and reload
// through the real save file.
#include "ui/shop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/db.h"
#include "window/form1.h"
#include "world/sample_items.h"
#include "world/save_fixture.h"
#include "world/save_game.h"

namespace {

using sampleitems::Slot;
using ui::Form1;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr const char* kClick = "Sound\\按键1.wav";
constexpr const char* kNoWeight = "您的剩余负重力不足！";
constexpr const char* kBagFull = "道具栏已满！";
constexpr const char* kNoGold = "金币不足！";
const std::string kId = "林勇";

class ShopTest : public sampleitems::SampleItemsTest {
 protected:
  void SetUp() override {
    SampleItemsTest::SetUp();
    G.SoundOn = 1;
    G.Player.ID = kId;
    savetest::MakeSave(SaveFilePath(kId), kId);
    Form1.Pbuy->Visible = Form1.Psell->Visible = Form1.Psys2->Visible = true;
    for (const char* row : {"木剑", "金创药小包", "无此物", "负价之物", "木剑' or '1'='1"}) Form1.BuyList->AddItem(row);
  }
  void TearDown() override {
    std::filesystem::remove(SaveFilePath(kId));
    SampleItemsTest::TearDown();
  }

  static void Choose(const std::string& row) {
    const auto& rows = Form1.BuyList->Items;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] == row) Form1.BuyList->SetListIndex(static_cast<int>(i));
    }
  }
  static int CountInBag(const std::string& name) {
    int n = 0;
    for (int i = kBagFirst; i <= kBagLast; ++i) n += Slot(i).Name == name ? 1 : 0;
    return n;
  }
  void Fresh() {
    sound.calls.clear();
    for (auto& m : G.SysMessages) m = SysMessage{};
  }

  // Saves, forgets the character and loads it back: gold and every slot come back.
  static void ExpectSurvivesReload() {
    const PlayerRecord before = G.Player;
    ASSERT_TRUE(SaveGame());
    G.Player = PlayerRecord{};
    G.SavePath.clear();
    ASSERT_TRUE(LoadSaveGame(kId));
    EXPECT_EQ(G.Player.Money, before.Money);
    for (std::size_t i = 1; i <= 120; ++i) EXPECT_EQ(G.Player.Items[i], before.Items[i]) << "slot " << i;
  }

  // A row of the shop table with a price below zero.
  void AddNegativePriceRow() {
    plat::db::Connection c;
    c.OpenPath(G.ItemDbPath);
    c.Execute("CREATE TEMP TABLE Copied AS SELECT * FROM Item WHERE Name = ?", {plat::db::Value(std::string("铁矿石"))});
    c.Execute("UPDATE Copied SET Name = ?, Money = -100", {plat::db::Value(std::string("负价之物"))});
    c.Execute("INSERT INTO Item SELECT * FROM Copied", {});
  }
};

// Each purchase from a known state: the message shown (or none), whether the goods came
// into the bag, and the gold after.
TEST_F(ShopTest, EveryPurchaseRule) {
  AddNegativePriceRow();
  const struct {
    const char* what;
    std::string row;  // "" = no row chosen
    std::int32_t gold, heavy;
    int freeSlots;
    const char* message;
    bool bought, sound;
    std::int32_t goldAfter;
  } cases[] = {
      {"exactly the price", "木剑", 50, 1000, 36, nullptr, true, true, 0},
      {"one gold short", "木剑", 49, 1000, 36, kNoGold, false, true, 49},
      {"full bag", "木剑", 100, 1000, 0, kBagFull, false, true, 100},
      {"full bag and too heavy: weight first", "木剑", 100, 74, 0, kNoWeight, false, true, 100},
      {"weight left exactly", "木剑", 100, 75, 1, nullptr, true, true, 50},
      {"weight one short", "木剑", 100, 74, 1, kNoWeight, false, true, 100},
      {"gold at the top", "金创药小包", kMax, 1000, 36, nullptr, true, true, kMax - 55},
      {"a row the table lacks", "无此物", 100, 1000, 36, nullptr, false, true, 100},
      {"no row chosen", "", 100, 1000, 36, nullptr, false, false, 100},
      {"a row with quotes is only a name", "木剑' or '1'='1", 100, 1000, 36, nullptr, false, true, 100},
      {"a price below zero past the top", "负价之物", kMax - 50, 1000, 36, nullptr, false, true, kMax - 50},
  };
  for (const auto& c : cases) {
    for (int i = kBagFirst; i <= kBagLast; ++i) Slot(i) = ItemRecord{};
    FillBag(c.freeSlots);  // stones of weight 2: 70 for a full bag, 68 for one free slot
    G.Player.Money = c.gold;
    G.Player.Heavy = c.heavy;
    Form1.BuyList->SetListIndex(-1);
    if (!c.row.empty()) Choose(c.row);
    Fresh();
    Form1.Command12->OnClick();

    EXPECT_EQ(G.Player.Money, c.goldAfter) << c.what;
    EXPECT_EQ(CountFreeBagSlots(), c.freeSlots - (c.bought ? 1 : 0)) << c.what;
    if (!c.row.empty()) {
      EXPECT_EQ(CountInBag(c.row), c.bought ? 1 : 0) << c.what;
    }
    EXPECT_EQ(Played(kClick), c.sound) << c.what;
    const std::vector<std::string> shown = Messages();
    if (c.message == nullptr) {
      EXPECT_TRUE(shown.empty()) << c.what;
    } else {
      ASSERT_EQ(shown, std::vector<std::string>{c.message}) << c.what;
      const SysMessage* m = savetest::FindMessage(c.message);
      EXPECT_EQ(m->R + m->G, 0) << c.what;
      EXPECT_EQ(m->B, 255) << c.what;
    }
    if (c.bought) {
      EXPECT_EQ(Form1.Lmoney->Caption, std::to_string(c.goldAfter)) << c.what;
    }
    ExpectSurvivesReload();
  }
}

// Each sale from a known state: the held slot, its item, the gold before and after.
TEST_F(ShopTest, EverySaleRule) {
  const ItemRecord sword = Item("木剑");  // Money 25: half the price of 50
  const ItemRecord potion = Item("金创药小");
  ItemRecord story = Item("村长书信");
  ItemRecord unsellable = sword;
  unsellable.Money = -1;
  ItemRecord owes = sword;
  owes.Money = -5;
  const struct {
    const char* what;
    int slot;
    ItemRecord item;
    std::int32_t gold;
    bool sold;
    std::int32_t goldAfter;
  } cases[] = {
      {"bag item", 21, sword, 0, true, 25},
      {"belt potion", 11, potion, 7, true, 7 + potion.Money},
      {"last bag slot", 56, sword, 0, true, 25},
      {"worn item", 1, sword, 0, false, 0},
      {"story item", 30, story, 0, false, 0},
      {"marked unsellable", 30, unsellable, 0, false, 0},
      {"empty slot held", 30, ItemRecord{}, 0, false, 0},
      {"nothing held", 0, sword, 0, false, 0},
      {"a storage slot", 61, sword, 0, false, 0},
      {"gold reaches the top", 21, sword, kMax - 25, true, kMax},
      {"gold would pass the top", 21, sword, kMax - 24, false, kMax - 24},
      {"gold would fall below zero", 21, owes, 3, false, 3},
  };
  for (const auto& c : cases) {
    for (std::size_t i = 1; i <= 120; ++i) G.Player.Items[i] = ItemRecord{};
    const int at = c.slot == 0 ? 21 : c.slot;
    Slot(at) = c.item;
    G.SelectedSlot = c.slot;
    Form1.ShItem->Visible = c.slot != 0;
    Form1.Isell->Picture = "old.bmp";
    Form1.Lsell->Caption = "1";
    G.Player.Money = c.gold;
    Fresh();
    Form1.Command10->OnClick();

    EXPECT_EQ(G.Player.Money, c.goldAfter) << c.what;
    EXPECT_EQ(Slot(at).Name.empty(), c.sold || c.item.Name.empty()) << c.what;
    EXPECT_TRUE(Played(kClick)) << c.what;
    EXPECT_TRUE(Messages().empty()) << c.what;
    EXPECT_EQ(G.SelectedSlot, c.sold ? 0 : c.slot) << c.what;
    EXPECT_EQ(Form1.ShItem->Visible, !c.sold && c.slot != 0) << c.what;
    EXPECT_EQ(Form1.Isell->Picture.empty() && Form1.Lsell->Caption.empty(), c.sold) << c.what;
    ExpectSurvivesReload();
  }
}

TEST_F(ShopTest, BoughtGoodsSellBackForHalfThePriceRoundedDown) {
  G.Player.Money = 100;
  Choose("金创药小包");  // 55 gold
  Form1.Command12->OnClick();
  Form1.Command12->OnClick();  // the row stays chosen
  ASSERT_EQ(CountInBag("金创药小包"), 1);
  EXPECT_EQ(G.Player.Money, 100 - 55);  // the second one is too dear
  EXPECT_EQ(Messages(), std::vector<std::string>{kNoGold});
  G.SelectedSlot = 21;
  Form1.Command10->OnClick();
  EXPECT_EQ(G.Player.Money, 100 - 55 + 27);
  EXPECT_EQ(CountInBag("金创药小包"), 0);
  ExpectSurvivesReload();
}

TEST_F(ShopTest, ChoosingARowTheTableLacksClearsThePrice) {
  Choose("木剑");
  EXPECT_EQ(Form1.Lbuy->Caption, "50");
  Choose("无此物");
  EXPECT_TRUE(Form1.Lbuy->Caption.empty());
  EXPECT_TRUE(Form1.Ibuy->Picture.empty());
  EXPECT_FALSE(Form1.PItemInf->Visible);
}

TEST_F(ShopTest, GivingUpClosesThePanelsAndLetsGo) {
  Form1.Pspt->Visible = true;
  Choose("木剑");
  G.SelectedSlot = 21;
  G.GamePaused = 1;
  Form1.Command11->OnClick();
  for (plat::Control* c : {Form1.Pspt, Form1.Pbuy, Form1.Psell, Form1.PItemInf}) EXPECT_FALSE(c->Visible);
  EXPECT_TRUE(Form1.Lbuy->Caption.empty());
  EXPECT_EQ(G.SelectedSlot, 0);
  EXPECT_EQ(G.GamePaused, 0);
}

}  // namespace
