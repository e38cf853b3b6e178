// Item creation from the item table with its bonus rolls, giving into the bag, the bag
// operations, the item pictures and laying items on the ground.
#include <gtest/gtest.h>

#include <array>

#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "world/ground_items.h"
#include "world/item_db.h"
#include "world/item_pictures.h"
#include "world/items.h"

namespace {

namespace fs = std::filesystem;
using itemdb::ItemRow;
using itemdb::kHit;
using itemdb::kMiss;
using testsupport::ScriptedDraws;

ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

// Puts icon files for these icon numbers into the program folder's "Date/Item".
void PutIcons(const fs::path& folder, std::initializer_list<int> pics) {
  fs::create_directories(folder / "Date" / "Item");
  for (int pic : pics) std::ofstream(folder / "Date" / "Item" / (std::to_string(pic) + ".bmp")) << "BM";
}

class ItemsTest : public itemdb::GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    UseItems({
        {.Name = "木剑", .Type = 20, .Type2 = "剑刃", .Pic1 = 31, .Pic2 = 2, .Dc = 2, .DcMax = 5, .DcSpeed = 0,
         .Acc = 1, .Weight = 5, .Money = 7, .NdDc = 0, .NdLevel = 3},
        {.Name = "金创药小", .Type = 2, .Type2 = "", .Pic1 = 12, .Hp = 20, .Weight = 1, .Money = 1},
        {.Name = "护身符", .Type = 16, .Pic1 = 40, .Weight = 3, .Money = 90, .NdDc = 4, .NdLevel = 2, .NdMc = 5},
        {.Name = "项链", .Type = 11, .Pic1 = 41, .Money = 30},
        {.Name = "O'Hara的铃", .Type = 3, .Pic1 = 42, .Money = 10},
        {.Name = "铁戒", .Type = 14, .Pic1 = 43, .MaBi = 5, .Money = 60},
    });
  }
};

// ---------------------------------------------------------------------------------
// MakeItemFromDb

TEST_F(ItemsTest, ARowIsCopiedWithHalfThePriceAndTheFirstCharacterOfType2) {
  std::string name = "木剑";
  G.GAMELEVEL = 1;
  const ItemRecord r = MakeItemFromDb(name);
  EXPECT_EQ(r.Name, "木剑");
  EXPECT_EQ(r.Type, 20);
  EXPECT_EQ(r.Type2, "剑");
  EXPECT_EQ(r.Pic1, 31);
  EXPECT_EQ(r.Pic2, 2);
  EXPECT_EQ(r.Dc, 2);
  EXPECT_EQ(r.DcMax, 5);
  EXPECT_EQ(r.Acc, 1);
  EXPECT_EQ(r.Weight, 5);
  EXPECT_EQ(r.NdLevel, 3);
  EXPECT_EQ(r.Money, 3);  // 7 \ 2
  EXPECT_EQ(r.X, 0);
  EXPECT_EQ(r.Y, 0);
  EXPECT_EQ(r.dzlevel, 0);
  EXPECT_EQ(r.SP, 0);
  EXPECT_EQ(r.JP, 0);

  std::string potion = "金创药小";
  const ItemRecord p = MakeItemFromDb(potion);
  EXPECT_EQ(p.Money, 0);     // a price of 1
  EXPECT_EQ(p.Type2, " ");   // an empty Type2 reads as a blank
  EXPECT_EQ(p.Ex, 0);        // only weapons get experience
}

TEST_F(ItemsTest, WeaponsGetTheDifficultysExperienceAndCheatItemsForgeLevelNine) {
  for (int level : {1, 2, 3}) {
    G.GAMELEVEL = static_cast<std::uint8_t>(level);
    std::string name = "木剑";
    EXPECT_EQ(MakeItemFromDb(name).Ex, level * 2000 - 1999) << level;
  }
  G.CheatMode = 1;
  std::string name = "金创药小";
  EXPECT_EQ(MakeItemFromDb(name).dzlevel, 9);
}

TEST_F(ItemsTest, TheQuestionMarkLeavesTheCallersNameAndAllowsFiveChances) {
  G.GAMELEVEL = 1;
  std::string name = "?护身符";
  {
    // Five chances, the third with two draws; all miss, so no roll follows.
    ScriptedDraws draws({kMiss, kMiss, kMiss, kMiss, kMiss, kMiss});
    const ItemRecord r = MakeItemFromDb(name);
    EXPECT_EQ(name, "护身符");
    EXPECT_EQ(r.Name, "护身符");
    EXPECT_EQ(r.JP, 0);
    EXPECT_EQ(draws.Left(), 0u);
  }
  {
    // Made again through the same text: no "?" any more, so no draw at all.
    ScriptedDraws none;
    EXPECT_EQ(MakeItemFromDb(name).Name, "护身符");
  }
}

TEST_F(ItemsTest, TheChancesFollowDifficultyAndExpertMode) {
  // A type 16 item has only the common tail: four draws per roll, all missing here.
  const std::vector<double> tail(4, kMiss);
  {
    // Difficulty 1, normal: a hit on the third chance's draw a does nothing.
    G.GAMELEVEL = 1;
    G.ExpertMode = 0;
    std::string name = "?护身符";
    ScriptedDraws d({kMiss, kMiss, kHit, kHit, kHit, kHit});
    MakeItemFromDb(name);
    EXPECT_EQ(d.Left(), 0u);
  }
  {
    // Expert mode: draw b of the third chance rolls once.
    G.GAMELEVEL = 1;
    G.ExpertMode = 1;
    std::string name = "?护身符";
    std::vector<double> seq{kMiss, kMiss, kMiss, kHit};
    seq.insert(seq.end(), tail.begin(), tail.end());
    seq.insert(seq.end(), {kMiss, kMiss});
    ScriptedDraws d(seq);
    MakeItemFromDb(name);
    EXPECT_EQ(d.Left(), 0u);
  }
  {
    // Difficulty 3: every chance that hits rolls; the fourth and fifth need it.
    G.GAMELEVEL = 3;
    G.ExpertMode = 0;
    std::string name = "?护身符";
    std::vector<double> seq{kMiss, kMiss, kMiss, kMiss, kHit};
    seq.insert(seq.end(), tail.begin(), tail.end());
    seq.push_back(kHit);
    seq.insert(seq.end(), tail.begin(), tail.end());
    ScriptedDraws d(seq);
    MakeItemFromDb(name);
    EXPECT_EQ(d.Left(), 0u);
  }
}

TEST_F(ItemsTest, GoldFormsAddGoldAndGiveAnEmptyRecordNamedGold) {
  G.Player.Money = 10;
  std::string name = "金币50";
  const ItemRecord r = MakeItemFromDb(name);
  EXPECT_EQ(G.Player.Money, 60);
  EXPECT_EQ(r.Name, "金币");
  EXPECT_EQ(r.Type, 0);
  EXPECT_EQ(r.Money, 0);

  // With "?" the rolls run on the empty record and change nothing.
  G.GAMELEVEL = 1;
  std::string bonus = "?金币50";
  std::vector<double> seq{kHit};
  seq.insert(seq.end(), {kHit, kHit, kHit, kHit});  // first roll: the common tail only
  seq.insert(seq.end(), {kMiss, kMiss, kMiss, kMiss, kMiss});
  ScriptedDraws d(seq);
  const ItemRecord g = MakeItemFromDb(bonus);
  EXPECT_EQ(G.Player.Money, 110);
  EXPECT_EQ(g, (ItemRecord{.Name = "金币", .Type2 = ""}));
  EXPECT_EQ(d.Left(), 0u);
}

TEST_F(ItemsTest, UnknownNamesAndAMissingDatabaseGiveAnEmptyRecord) {
  std::string unknown = "不存在";
  EXPECT_EQ(MakeItemFromDb(unknown), ItemRecord{});
  G.ItemDbPath = dir / "nothing.dat";
  std::string name = "木剑";
  EXPECT_EQ(MakeItemFromDb(name), ItemRecord{});
  EXPECT_FALSE(G.DbConn->IsOpen());
  EXPECT_FALSE(G.DbRecordset->IsOpen());
}

TEST_F(ItemsTest, NamesAreBoundNotPastedIntoTheQuery) {
  std::string name = "O'Hara的铃";
  EXPECT_EQ(MakeItemFromDb(name).Pic1, 42);
  std::string sneaky = "x' or '1'='1";
  EXPECT_EQ(MakeItemFromDb(sneaky), ItemRecord{});
  EXPECT_FALSE(G.DbConn->IsOpen());
}

TEST_F(ItemsTest, TheItemTableStaysOpenAndFollowsItsFileWhenItIsReplacedOrRemoved) {
  const fs::path items = dir / "items.dat";
  const fs::path spare = dir / "spare.dat";
  auto swordPicture = [] {
    std::string name = "木剑";
    return MakeItemFromDb(name).Pic1;
  };
  // A new item table at `file` with the sword drawn with picture pic, and a row of
  // `padding` bytes (a file of another size).
  auto swordTable = [](const fs::path& file, int pic, std::size_t padding = 1) {
    fs::remove(file);
    itemdb::CreateItemDb(file, {{.Name = "木剑", .Type = 20, .Pic1 = pic},
                                {.Name = "石头", .Type2 = std::string(padding, 'x')}});
  };
  struct Step {
    const char* what;
    std::function<void()> change;
    int pic;    // the sword's picture afterwards; 0: no item is built
    bool open;  // the item table is kept open afterwards
  };
  const std::vector<Step> steps = {
      {"first use opens it", [] {}, 31, true},
      {"replaced by a rename",
       [&] {
         swordTable(spare, 50);
         fs::rename(spare, items);
       },
       50, true},
      {"rewritten in place",
       [&] {
         swordTable(spare, 60, 20000);
         fs::copy_file(spare, items, fs::copy_options::overwrite_existing);
       },
       60, true},
      {"damaged", [&] { std::ofstream(items, std::ios::binary) << std::string(4096, 'x'); }, 0, false},
      {"removed", [&] { fs::remove(items); }, 0, false},
      {"back again", [&] { swordTable(items, 70); }, 70, true},
      {"another path",
       [&] {
         swordTable(spare, 80);
         G.ItemDbPath = spare;
       },
       80, true},
      {"no path", [] { G.ItemDbPath.clear(); }, 0, false},
  };
  for (const Step& step : steps) {
    step.change();
    EXPECT_EQ(swordPicture(), step.pic) << step.what;
    ASSERT_TRUE(G.ItemQuery) << step.what;
    EXPECT_EQ(G.ItemQuery->IsOpen(), step.open) << step.what;
  }
}

// ---------------------------------------------------------------------------------
// RollItemBonus

TEST_F(ItemsTest, AWeaponRollWithEveryTestHitting) {
  ItemRecord w{.Name = "剑", .Type = 20, .Type2 = "", .Dc = 1, .DcMax = 2, .Weight = 5, .MaBi = 5, .Money = 30, .NdDc = 0,
               .NdLevel = 3, .SP = 0};
  ScriptedDraws d({kHit, kHit, kHit, kHit, kHit, kHit, kHit,  // Dc DcMax Mc McMax Acc XiHP Luck
                   kHit, kMiss,                               // MaBi: 1 + 2
                   kHit,                                      // DcSpeed
                   kHit, 0.3, 0.35, kHit,                     // SP: 5 and 6 are drawn again, then 1
                   kHit, kHit, kHit, kMiss});                 // Weight NdLevel NdDc(0: no) NdMc
  RollItemBonus(w);
  EXPECT_EQ(d.Left(), 0u);
  EXPECT_EQ(w.Dc, 2);
  EXPECT_EQ(w.DcMax, 3);
  EXPECT_EQ(w.Mc, 1);
  EXPECT_EQ(w.McMax, 1);
  EXPECT_EQ(w.Acc, 1);
  EXPECT_EQ(w.XiHP, 1);
  EXPECT_EQ(w.Luck, 1);
  EXPECT_EQ(w.MaBi, 8);  // 5 + 1 + 2
  EXPECT_EQ(w.DcSpeed, 1);
  EXPECT_EQ(w.SP, 1);
  EXPECT_EQ(w.Weight, 4);
  EXPECT_EQ(w.NdLevel, 2);
  EXPECT_EQ(w.NdDc, 0);
  // P = 2+1+2+1+2+3+3+3+4+5 + 2+2 = 30
  EXPECT_EQ(w.JP, 30);
  EXPECT_EQ(w.Money, 30 + 10 * 30);
}

TEST_F(ItemsTest, AWeaponThatHasASkillKeepsIt) {
  ItemRecord w{.Name = "剑", .Type = 20, .Type2 = "", .DcSpeed = 2, .MaBi = 6, .SP = 9};
  // Conditions that fail still take their draws: MaBi 6, DcSpeed 2, SP already set.
  ScriptedDraws d({kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kHit, kHit, kHit, kMiss, kMiss, kMiss, kMiss});
  RollItemBonus(w);
  EXPECT_EQ(d.Left(), 0u);
  EXPECT_EQ(w.SP, 9);
  EXPECT_EQ(w.MaBi, 6);
  EXPECT_EQ(w.DcSpeed, 2);
  EXPECT_EQ(w.JP, 0);
}

TEST_F(ItemsTest, PointsRaiseThePriceFromItsNewValueAndReplaceJp) {
  ItemRecord n{.Name = "项链", .Type = 11, .Type2 = "", .Money = 30, .JP = 7};
  {
    // Acc (1), Nb (1), DfMax (1): P = 3.
    ScriptedDraws d({kHit, kHit, kHit, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss});
    RollItemBonus(n);
    EXPECT_EQ(d.Left(), 0u);
  }
  EXPECT_EQ(n.Money, 60);
  EXPECT_EQ(n.JP, 3);
  {
    // Acc, Nb (1 < 2 still): P = 2.
    ScriptedDraws d({kHit, kHit, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss});
    RollItemBonus(n);
  }
  EXPECT_EQ(n.Money, 100);
  EXPECT_EQ(n.JP, 2);
  EXPECT_EQ(n.Nb, 2);
  {
    // Nb 2 is not below 2: its hit does nothing and scores nothing.
    ScriptedDraws d({kMiss, kHit, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss, kMiss});
    RollItemBonus(n);
  }
  EXPECT_EQ(n.Nb, 2);
  EXPECT_EQ(n.JP, 2);  // no points: JP stays
  EXPECT_EQ(n.Money, 100);
}

TEST_F(ItemsTest, TypesWithoutATableGetOnlyTheCommonTail) {
  for (int type : {0, 3, 9, 16, 19, 22}) {
    ItemRecord r{.Name = "x", .Type = type, .Type2 = "", .Weight = 2, .Money = 9, .NdDc = 2, .NdMc = 1, .NdLevel = 5};
    ScriptedDraws d({kHit, kHit, kHit, kHit});
    RollItemBonus(r);
    EXPECT_EQ(d.Left(), 0u) << type;
    EXPECT_EQ(r.Weight, 1) << type;
    EXPECT_EQ(r.NdLevel, 4) << type;
    EXPECT_EQ(r.NdDc, 1) << type;
    EXPECT_EQ(r.NdMc, 1) << type;  // 1 is not above 1
    EXPECT_EQ(r.JP, 6) << type;
    EXPECT_EQ(r.Money, 9 + 3 * 6) << type;
  }
}

TEST_F(ItemsTest, EachTypesTableHasItsOwnLength) {
  struct Case {
    int type, tests;
  };
  for (const Case c : {Case{10, 7}, Case{11, 7}, Case{12, 7}, Case{21, 7}, Case{13, 9}, Case{15, 4}}) {
    ItemRecord r{.Name = "x", .Type = c.type, .Type2 = ""};
    ScriptedDraws d(std::vector<double>(static_cast<std::size_t>(c.tests + 4), kMiss));
    RollItemBonus(r);
    EXPECT_EQ(d.Left(), 0u) << c.type;
    EXPECT_EQ(r.JP, 0) << c.type;
  }
}

TEST_F(ItemsTest, EveryTestOfEveryTypeHitsJustUnderItsOddsAndMissesAtThem) {
  struct Test {
    long k, n;
    std::int32_t points;
    int extra = 0;  // draws a success takes for its amount
  };
  const std::vector<Test> tail = {{1, 10, 2}, {1, 12, 2}, {1, 12, 2}, {1, 12, 2}};
  const std::vector<Test> helmet = {{1, 10, 2}, {3, 10, 1}, {1, 10, 2}, {3, 10, 1}, {1, 10, 2}, {1, 10, 1}, {1, 10, 1}};
  const std::vector<Test> armour = {{1, 10, 2}, {1, 10, 2}, {3, 10, 1}, {1, 10, 2}, {3, 10, 1}, {2, 10, 1}, {2, 10, 1}};
  const struct {
    int type;
    std::vector<Test> tests;
  } types[] = {
      {10, helmet},
      {11, {{1, 10, 1}, {1, 10, 1}, {3, 10, 1}, {3, 10, 1}, {3, 10, 1}, {3, 10, 1}, {1, 10, 3}}},
      {12, armour},
      {21, armour},
      {13, {{1, 10, 2}, {1, 10, 2}, {3, 10, 1}, {1, 10, 2}, {3, 10, 1}, {1, 10, 2}, {3, 10, 1}, {1, 10, 2}, {3, 10, 1}}},
      {14, {{1, 10, 2}, {3, 10, 1}, {1, 10, 2}, {3, 10, 1}, {1, 10, 2}, {1, 15, 3, 1}, {1, 10, 3, 1}}},
      {15, {{3, 10, 1}, {1, 10, 1}, {3, 10, 1}, {1, 10, 1}}},
      {20, {{1, 10, 2}, {3, 10, 1}, {1, 10, 2}, {3, 10, 1}, {1, 10, 2}, {1, 10, 3}, {1, 10, 3}, {1, 15, 3, 1},
            {1, 50, 4}, {1, 40, 5, 1}}},
      {0, {}},
  };
  for (const auto& t : types) {
    std::vector<Test> all = t.tests;
    all.insert(all.end(), tail.begin(), tail.end());
    for (std::size_t j = 0; j < all.size(); ++j) {
      for (const bool under : {true, false}) {
        // Every other test misses; test j draws just under its odds, or exactly at them.
        const double odds = static_cast<double>(all[j].k) / static_cast<double>(all[j].n);
        std::vector<double> draws;
        for (std::size_t i = 0; i < all.size(); ++i) {
          if (i != j) {
            draws.push_back(kMiss);
            continue;
          }
          draws.push_back(under ? odds - 1e-9 : odds);
          if (under) draws.insert(draws.end(), static_cast<std::size_t>(all[j].extra), kHit);
        }
        ItemRecord r{.Name = "x", .Type = t.type, .Type2 = "", .Weight = 5, .Money = 30, .NdDc = 5, .NdMc = 5,
                     .NdLevel = 5};
        ScriptedDraws d(draws);
        RollItemBonus(r);
        const std::int32_t p = under ? all[j].points : 0;
        EXPECT_EQ(d.Left(), 0u) << t.type << " test " << j << (under ? " under" : " at");
        EXPECT_EQ(r.JP, p) << t.type << " test " << j << (under ? " under" : " at");
        EXPECT_EQ(r.Money, 30 + 10 * p) << t.type << " test " << j << (under ? " under" : " at");
      }
    }
  }
}

TEST_F(ItemsTest, ArmourRaisesItsMaximaThreeTimesInTenAndTheRestOnceInTen) {
  ItemRecord r{.Name = "甲", .Type = 13, .Type2 = ""};
  ScriptedDraws d(std::vector<double>(13, 0.29));  // just under three in ten
  RollItemBonus(r);
  EXPECT_EQ(d.Left(), 0u);
  EXPECT_EQ((std::array{r.DfMax, r.MfMax, r.DcMax, r.McMax}), (std::array{1, 1, 1, 1}));
  EXPECT_EQ((std::array{r.Acc, r.Df, r.Mf, r.Dc, r.Mc}), (std::array{0, 0, 0, 0, 0}));
  EXPECT_EQ(r.JP, 4);
}

TEST_F(ItemsTest, RingsRaiseMabiAndPoisonByExtraDraws) {
  ItemRecord r{.Name = "铁戒", .Type = 14, .Type2 = "", .MaBi = 5};
  ScriptedDraws d({kMiss, kMiss, kMiss, kMiss, kMiss,  // Dc DcMax Mc McMax Acc
                   kHit, kMiss,                        // MaBi + 1 + 2
                   kHit, 0.5,                          // zd + 1 + 2
                   kMiss, kMiss, kMiss, kMiss});
  RollItemBonus(r);
  EXPECT_EQ(d.Left(), 0u);
  EXPECT_EQ(r.MaBi, 8);
  EXPECT_EQ(r.zd, 3);
  EXPECT_EQ(r.JP, 6);
}

// ---------------------------------------------------------------------------------
// GiveItem

TEST_F(ItemsTest, GiveItemFillsTheFirstEmptyBagSlotWithIconAndWeight) {
  G.Player.Heavy = 40;
  Slot(21).Name = "石头";
  Slot(21).Weight = 2;
  Slot(22).Name = "石头";
  Slot(1) = ItemRecord{.Name = "盔", .Type2 = "", .Weight = 3};
  Slot(61) = ItemRecord{.Name = "箱中物", .Type2 = "", .Weight = 30};  // the storage box weighs nothing
  PutIcons(dir.path(), {31});
  std::string name = "木剑";
  EXPECT_EQ(GiveItem(name), GivePlace::Bag);
  EXPECT_EQ(Slot(23).Name, "木剑");
  EXPECT_TRUE(Slot(24).Name.empty());
  const std::string pic = ui::Form1.Iitem(23)->Picture;
  EXPECT_EQ(std::filesystem::path(pic).filename(), "31.bmp");
  EXPECT_EQ(ui::Form1.Lfz->Caption, "10/40");  // 2 + 3 + 5
}

TEST_F(ItemsTest, GiveItemWithAFullBagLaysAFreshItemNearThePlayer) {
  OnPart(1, 40, 40, 20, 20);
  FillBag(0);
  std::string name = "?木剑";
  G.GAMELEVEL = 1;
  // The bag item's chances (all miss); the ground item is built without them.
  ScriptedDraws d({kMiss, kMiss, kMiss, kMiss, kMiss, kMiss});
  EXPECT_EQ(GiveItem(name), GivePlace::Ground);
  EXPECT_EQ(d.Left(), 0u);
  EXPECT_EQ(name, "木剑");
  ASSERT_EQ(G.GroundItemCount, 1);
  EXPECT_EQ(G.GroundItems[1].Name, "木剑");
  EXPECT_EQ(G.GroundItems[1].X, 19);
  EXPECT_EQ(G.GroundItems[1].Y, 19);
  EXPECT_EQ(ItemGridAt(19, 19), 1);
  EXPECT_EQ(Slot(56).Name, "石头");
}

TEST_F(ItemsTest, GiveItemSaysWhereTheItemWent) {
  const struct {
    const char* name;
    int freeSlots;  // empty bag slots left
    bool roomOnTheGround;
    GivePlace place;
    std::int32_t money;  // the player's gold afterwards (10 before)
    int groundItems;
  } cases[] = {
      {"木剑", 1, true, GivePlace::Bag, 10, 0},
      {"木剑", 0, true, GivePlace::Ground, 10, 1},
      {"木剑", 0, false, GivePlace::Nowhere, 10, 0},  // nowhere to lay it
      {"金币25", 0, false, GivePlace::Gold, 35, 0},
      {"金币2.5", 1, true, GivePlace::Gold, 12, 0},
      {"无此物", 1, true, GivePlace::Nowhere, 10, 0},
      {"金币", 1, true, GivePlace::Nowhere, 10, 0},     // gold without a number
      {"金币abc", 1, true, GivePlace::Nowhere, 10, 0},
      {"金币12abc", 1, true, GivePlace::Nowhere, 10, 0},
  };
  for (const auto& c : cases) {
    G = GameState{};
    G.ItemDbPath = dir / "items.dat";
    G.Player.Money = 10;
    if (c.roomOnTheGround) {
      OnPart(1, 40, 40, 20, 20);
    } else {
      OnPart(1, 2, 2, 1, 1);  // a part with no cell to lay anything on
    }
    FillBag(c.freeSlots);
    std::string name = c.name;
    EXPECT_EQ(GiveItem(name), c.place) << c.name;
    EXPECT_EQ(G.Player.Money, c.money) << c.name;
    EXPECT_EQ(G.GroundItemCount, c.groundItems) << c.name;
    EXPECT_EQ(CountFreeBagSlots(), c.place == GivePlace::Bag ? c.freeSlots - 1 : c.freeSlots) << c.name;
  }
}

// ---------------------------------------------------------------------------------
// Bag operations

TEST_F(ItemsTest, CountsLookOnlyAtTheBag) {
  Slot(1).Name = "回城卷";
  Slot(11).Name = "回城卷";
  Slot(21).Name = "回城卷";
  Slot(40).Name = "回城卷";
  Slot(56).Name = "回城卷包";
  Slot(61).Name = "回城卷";
  Slot(30).Name = "金币";
  EXPECT_EQ(CountItemInBag("回城卷"), 2);
  EXPECT_EQ(CountItemInBag("回城"), 0);  // names compare whole
  EXPECT_EQ(CountItemInBag("金币"), 0);
  EXPECT_EQ(CountItemInBag("金币5"), 0);
  EXPECT_EQ(CountFreeBagSlots(), 32);
}

TEST_F(ItemsTest, FreeWeightCountsWornBeltAndBagOnly) {
  G.Player.Heavy = 10;
  for (int i : {1, 10, 11, 16, 21, 56}) Slot(i) = ItemRecord{.Name = "x", .Type2 = "", .Weight = 2};
  for (int i : {17, 20, 57, 60, 61, 120}) Slot(i) = ItemRecord{.Name = "x", .Type2 = "", .Weight = 100};
  Slot(30) = ItemRecord{.Name = "", .Type2 = "", .Weight = 50};  // an empty slot weighs nothing
  EXPECT_EQ(FreeWeight(), -2);
}

TEST_F(ItemsTest, RemoveItemByNameClearsOnlyTheFirstMatchAndRedraws) {
  Slot(11).Name = "药";
  Slot(25) = ItemRecord{.Name = "药", .Type2 = "", .Pic1 = 3};
  Slot(30) = ItemRecord{.Name = "药", .Type2 = "", .Pic1 = 3};
  PutIcons(dir.path(), {3});
  ShowItemPictures();
  ASSERT_FALSE(ui::Form1.Iitem(25)->Picture.empty());
  G.Player.Money = 77;
  RemoveItemByName("药");
  EXPECT_EQ(Slot(11).Name, "药");
  EXPECT_TRUE(Slot(25).Name.empty());
  EXPECT_EQ(Slot(30).Name, "药");
  EXPECT_TRUE(ui::Form1.Iitem(25)->Picture.empty());
  EXPECT_EQ(ui::Form1.Lmoney->Caption, "77");
  RemoveItemByName("没有");
  EXPECT_EQ(Slot(30).Name, "药");
}

TEST_F(ItemsTest, ClearItemEmptiesTheRecordAndRedraws) {
  Slot(12) = ItemRecord{.Name = "药", .Type2 = "", .Pic1 = 4, .Hp = 9};
  ShowItemPictures();
  G.Player.Level = 6;
  ClearItem(12);
  EXPECT_EQ(Slot(12), ItemRecord{});
  EXPECT_TRUE(ui::Form1.Iitem(12)->Picture.empty());
  EXPECT_EQ(ui::Form1.Llevel->Caption, "6");
  ClearItem(0);
  ClearItem(121);  // outside the slots: nothing
}

// ---------------------------------------------------------------------------------
// Item pictures

TEST_F(ItemsTest, ShowItemPicturesSetsEverySlotAfreshAndLeavesSeventeenToTwentyAlone) {
  Slot(1) = ItemRecord{.Name = "剑", .Type2 = "", .Pic1 = 31};
  Slot(16) = ItemRecord{.Name = "药", .Type2 = "", .Pic1 = 12};
  Slot(56) = ItemRecord{.Name = "戒", .Type2 = "", .Pic1 = 7};
  Slot(21) = ItemRecord{.Name = "", .Type2 = "", .Pic1 = 9};  // empty name: no picture
  Slot(22) = ItemRecord{.Name = "无图", .Type2 = "", .Pic1 = 99};  // no icon file: no picture
  PutIcons(dir.path(), {31, 12, 7, 9});
  ui::Form1.Iitem(21)->Picture = "stale.bmp";
  ui::Form1.Iitem(22)->Picture = "stale.bmp";
  plat::Control spare(plat::ControlKind::Image, "Iitem", 17);
  spare.Picture = "keep.bmp";
  ui::Form1.Iitem.Set(17, &spare);
  ShowItemPictures();
  ui::Form1.Iitem.Set(17, nullptr);
  EXPECT_EQ(ui::Form1.Iitem(1)->Picture, plat::ResolvePath("\\Date\\Item\\31.bmp").string());
  EXPECT_EQ(ui::Form1.Iitem(16)->Picture, plat::ResolvePath("\\Date\\Item\\12.bmp").string());
  EXPECT_EQ(ui::Form1.Iitem(56)->Picture, plat::ResolvePath("\\Date\\Item\\7.bmp").string());
  EXPECT_TRUE(ui::Form1.Iitem(21)->Picture.empty());
  EXPECT_TRUE(ui::Form1.Iitem(22)->Picture.empty());
  EXPECT_TRUE(ui::Form1.Iitem(2)->Picture.empty());
  EXPECT_EQ(spare.Picture, "keep.bmp");
  EXPECT_NE(G.PathText.find("Item"), std::string::npos);
}

// ---------------------------------------------------------------------------------
// Ground items

TEST_F(ItemsTest, TheFiftiethGroundItemPushesTheOldestOff) {
  OnPart(1, 100, 100, 50, 50);
  for (int k = 1; k <= 49; ++k) AddGroundItem(k, 1, ItemRecord{.Name = "i" + std::to_string(k), .Type2 = ""});
  ASSERT_EQ(G.GroundItemCount, 49);
  AddGroundItem(60, 60, ItemRecord{.Name = "new", .Type2 = ""});
  EXPECT_EQ(G.GroundItemCount, 49);
  EXPECT_EQ(ItemGridAt(1, 1), 0);
  EXPECT_EQ(G.GroundItems[1].Name, "i2");
  for (int k = 1; k <= 48; ++k) {
    const ItemRecord& it = G.GroundItems[static_cast<std::size_t>(k)];
    EXPECT_EQ(ItemGridAt(it.X, it.Y), k) << it.Name;
  }
  EXPECT_EQ(G.GroundItems[49].Name, "new");
  EXPECT_EQ(ItemGridAt(60, 60), 49);
  EXPECT_TRUE(G.GroundItems[50].Name.empty());
}

TEST_F(ItemsTest, TheDropCellSearchSkipsObjectsItemsNpcsAndThePartsLastRowAndColumn) {
  OnPart(2, 30, 30, 10, 10);
  SetCellField(2, 9, 9, 2, "17");      // scenery
  SetCellField(2, 9, 10, 3, "N村长0001");  // an NPC
  SetItemGridAt(9, 11, 4);             // an item
  SetCellField(2, 10, 9, 3, "*N村长0001");  // a hidden NPC does not block
  std::int32_t x = 0, y = 0;
  ASSERT_TRUE(FindDropCell(x, y));
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 9);

  // At the part's corner: ring cells outside the part and in its last row and column
  // are skipped.
  OnPart(2, 30, 30, 29, 29);
  ASSERT_TRUE(FindDropCell(x, y));
  EXPECT_EQ(x, 28);
  EXPECT_EQ(y, 28);
  OnPart(2, 2, 2, 1, 1);
  EXPECT_FALSE(FindDropCell(x, y));  // only the player's own cell is usable
}

TEST_F(ItemsTest, DroppingTwoItemsUsesTheNextCellForTheSecond) {
  OnPart(1, 40, 40, 20, 20);
  std::string name = "木剑";
  DropNamedItem(name);
  DropNamedItem(name);
  EXPECT_EQ(G.GroundItemCount, 2);
  EXPECT_EQ(G.GroundItems[2].X, 19);
  EXPECT_EQ(G.GroundItems[2].Y, 20);
  std::string unknown = "无此物";
  DropNamedItem(unknown);
  EXPECT_EQ(G.GroundItemCount, 2);
}

}  // namespace

namespace {

TEST_F(ItemsTest, TheSampleItemTableBuildsEveryShopItemOfTheSmith) {
  const std::filesystem::path items = testsupport::GameDir() / "date" / "Mon" / "74.dat";
  if (!std::filesystem::exists(items)) GTEST_SKIP() << "the sample game folder is not built";
  G.ItemDbPath = items;
  G.GAMELEVEL = 1;
  for (const char* n : {"木剑", "柴刀", "皮甲", "普通盾牌", "金创药小", "回城卷"}) {
    std::string name = n;
    const ItemRecord r = MakeItemFromDb(name);
    EXPECT_EQ(r.Name, n);
    EXPECT_GT(r.Pic1, 0) << n;
  }
  std::string sword = "木剑";
  EXPECT_EQ(MakeItemFromDb(sword).Type, 20);
}

}  // namespace
