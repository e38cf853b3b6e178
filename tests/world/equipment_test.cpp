// Wearing and taking off items of the sample table, the requirements, the belt rule,
// the skill bonus, and moves that must change nothing.
#include "world/equipment.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "window/form1.h"
#include "world/sample_items.h"

namespace {

using sampleitems::Slot;
using ui::Form1;

// What wearing may change: the 15 stats, the skill strings and the selected spell.
std::vector<std::string> Character() {
  std::vector<std::string> out;
  for (const WearingStat& s : kWearingStats) out.push_back(std::to_string(G.Player.*s.player));
  for (int k = 1; k <= 15; ++k) out.push_back(G.Player.M[static_cast<std::size_t>(k)]);
  out.push_back(std::to_string(G.Player.NowMc));
  return out;
}

class EquipmentTest : public sampleitems::SampleItemsTest {
 protected:
  void SetUp() override {
    SampleItemsTest::SetUp();
    ResetCharacter();
  }
  static void ResetCharacter() {
    G.SysMessages = {};
    for (int i = 1; i <= 120; ++i) Slot(i) = {};
    int v = 3;
    for (const WearingStat& s : kWearingStats) G.Player.*s.player = v++;
    G.Player.Level = 120;
    G.Player.DcMax = G.Player.McMax = 500;  // meets every requirement
    const char* skills[] = {"??0", "F11", "SP0", "F29", "??3", "F32", "??0", "??1",
                            "SP0", "F42", "??0", "F53", "??2", "F61", "??0"};
    for (int k = 1; k <= 15; ++k) G.Player.M[static_cast<std::size_t>(k)] = skills[k - 1];
    G.Player.NowMc = 2;
  }
};

// Every item of the sample table, with and without a skill bonus, in every worn slot:
// refused where the Type does not fit; elsewhere worn with its stats added, then taken
// off by UnequipItem or by a move to the bag, leaving the character exactly as it was.
TEST_F(EquipmentTest, WearingAndTakingOffEverySampleItemRestoresTheCharacter) {
  int worn = 0, k = 0;
  for (const std::string& name : sampleitems::AllNames()) {
    ItemRecord item = Item(name);
    for (int sp : {0, 1 + k++ % 15}) {
      item.SP = sp;
      for (int slot = 1; slot <= 10; ++slot) {
        for (bool byMove : {false, true}) {
          SCOPED_TRACE(name + " SP " + std::to_string(sp) + " slot " + std::to_string(slot));
          const auto before = Character();
          const PlayerRecord p = G.Player;
          Slot(30) = item;
          MoveItemToSlot(30, slot);
          if (WornSlotType(slot) != item.Type) {
            EXPECT_EQ(Slot(30), item);
            EXPECT_EQ(Character(), before);
            break;
          }
          ++worn;
          ASSERT_EQ(Slot(slot), item);
          for (const WearingStat& s : kWearingStats) EXPECT_EQ(G.Player.*s.player, p.*s.player + item.*s.item);
          byMove ? MoveItemToSlot(slot, 40) : UnequipItem(slot);
          EXPECT_EQ(Slot(byMove ? 40 : 21), item);
          EXPECT_EQ(Character(), before);
          Slot(21) = Slot(40) = {};
        }
      }
    }
  }
  EXPECT_GT(worn, 200);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(EquipmentTest, OnlyTheFirstUnmetRequirementIsReportedInRed) {
  const struct {
    int level, dcMax, mcMax;
    std::string message;
  } cases[] = {
      {1, 0, 0, "你的等级不够"},  {4, 99, 99, "你的等级不够"}, {5, 0, 0, "你的攻击不够"}, {5, 7, 99, "你的攻击不够"},
      {5, 8, 0, "你的魔法不够"},  {5, 8, 8, "你的魔法不够"},   {5, 8, 9, ""},            {99, 99, 99, ""},
  };
  ItemRecord sword = OfType(20);
  sword.NdLevel = 5;
  sword.NdDc = 8;
  sword.NdMc = 9;
  for (const auto& c : cases) {
    ResetCharacter();
    G.Player.Level = c.level;
    G.Player.DcMax = c.dcMax;
    G.Player.McMax = c.mcMax;
    Slot(22) = sword;
    MoveItemToSlot(22, 1);
    EXPECT_EQ(Slot(c.message.empty() ? 1 : 22), sword) << c.level << " " << c.dcMax << " " << c.mcMax;
    EXPECT_EQ(G.Player.DcMax, c.dcMax + (c.message.empty() ? sword.DcMax : 0));
    EXPECT_EQ(Messages(), c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
    if (!c.message.empty()) {
      EXPECT_EQ(G.SysMessages[1].G, 20);
    }
  }
}

TEST_F(EquipmentTest, TakingOffWithAFullBagChangesNothing) {
  Slot(1) = OfType(20);
  FillBag(0);
  const auto before = Character();
  G.SelectedSlot = 1;
  Form1.ShItem->Visible = true;
  UnequipItem(1);
  EXPECT_EQ(Slot(1), OfType(20));
  EXPECT_EQ(Character(), before);
  EXPECT_EQ(Messages(), std::vector<std::string>{"道具栏没有位置卸下该装备"});
  EXPECT_EQ(G.SysMessages[1].G, 100);
  EXPECT_EQ(G.SelectedSlot, 0);
  EXPECT_FALSE(Form1.ShItem->Visible);
}

TEST_F(EquipmentTest, NothingAtAllHappensWhileTransformed) {
  G.BodyNo = 100;
  Slot(22) = OfType(20);
  G.SelectedSlot = 22;
  Form1.Ibank->Picture = "held.bmp";
  const auto before = Character();
  for (int dst : {1, 23, 22}) {
    MoveItemToSlot(22, dst);
    EXPECT_EQ(Slot(22), OfType(20));
    EXPECT_EQ(Character(), before);
    EXPECT_EQ(G.SelectedSlot, 22);
    EXPECT_EQ(Form1.Ibank->Picture, "held.bmp");
  }
}

// Moves and what ends where; none may change a stat it should not.
TEST_F(EquipmentTest, MovesBetweenWornSlotsBeltAndBag) {
  const ItemRecord potion = OfType(1), sword = OfType(20), ring = OfType(14);
  ItemRecord ring2 = ring;
  ring2.Dc += 3;
  auto wear = [](int slot, const ItemRecord& r) { Slot(slot) = r; ApplyWearingStats(r, 1); };
  const struct {
    const char* what;
    std::function<void()> setup;
    int src, dst, dc;  // dc: the change of Dc
    std::function<void()> check;
  } cases[] = {
      {"a potion goes onto the belt", [&] { Slot(21) = potion; }, 21, 11, 0, [&] { EXPECT_EQ(Slot(11), potion); }},
      {"a sword does not", [&] { Slot(21) = sword; }, 21, 12, 0, [&] { EXPECT_EQ(Slot(21), sword); }},
      {"a belt potion onto a sword puts the sword on the belt", [&] { Slot(13) = potion; Slot(24) = sword; }, 13,
       24, 0, [&] { EXPECT_EQ(Slot(13), sword); }},
      {"a worn ring over another swaps it into the bag", [&] { wear(8, ring); Slot(26) = ring2; }, 26, 8, 3,
       [&] { EXPECT_EQ(Slot(26), ring); }},
      {"a worn item never goes onto the belt", [&] { wear(8, ring); }, 8, 14, 0, [&] { EXPECT_EQ(Slot(8), ring); }},
      {"nor onto an occupied bag slot", [&] { wear(8, ring); Slot(30) = potion; }, 8, 30, 0,
       [&] { EXPECT_EQ(Slot(30), potion); }},
      {"two worn slots never swap", [&] { wear(8, ring); wear(9, ring2); }, 8, 9, 0,
       [&] { EXPECT_EQ(Slot(9), ring2); }},
      {"a slot outside the items changes nothing", [&] { Slot(21) = potion; }, 21, 121, 0,
       [&] { EXPECT_EQ(Slot(21), potion); }},
      {"nor does slot 0", [&] { Slot(21) = potion; }, 0, 21, 0, [&] { EXPECT_EQ(Slot(21), potion); }},
  };
  for (const auto& c : cases) {
    ResetCharacter();
    c.setup();
    const std::int32_t dc = G.Player.Dc;
    MoveItemToSlot(c.src, c.dst);
    c.check();
    EXPECT_EQ(G.Player.Dc, dc + c.dc) << c.what;
    EXPECT_TRUE(Messages().empty()) << c.what;
  }
}

TEST_F(EquipmentTest, TheSelectedSpellGoesWhenItsItemTakesItsLevelAway) {
  ItemRecord sword = OfType(20);
  sword.SP = 11;
  for (const std::string start : {"??0", "SP0"}) {
    G.Player.M[11] = start;
    G.Player.NowMc = 11;
    Form1.Qmc->Picture = "spell.bmp";
    Slot(22) = sword;
    MoveItemToSlot(22, 1);
    EXPECT_EQ(G.Player.M[11], start.substr(0, 2) + "1");
    UnequipItem(1);
    EXPECT_EQ(G.Player.M[11], start);
    EXPECT_EQ(G.Player.NowMc, 0);
    EXPECT_EQ(Form1.Qmc->Picture, "");
    Slot(21) = {};
  }
}

// Skill numbers no skill string has, levels past 9, sums past the 32-bit range.
TEST_F(EquipmentTest, EdgeValuesStayInsideTheirRange) {
  ItemRecord ring = OfType(14);
  for (int sp : {16, 20, 21, std::numeric_limits<std::int32_t>::max()}) {
    ring.SP = sp;
    const auto skills = G.Player.M;
    Slot(30) = ring;
    MoveItemToSlot(30, 8);
    EXPECT_EQ(G.Player.M, skills) << sp;
    UnequipItem(8);
    Slot(21) = {};
  }
  RaiseItemSkill(4);
  EXPECT_EQ(G.Player.M[4], "F210");
  LowerItemSkill(4);
  EXPECT_EQ(G.Player.M[4], "F29");

  ring.SP = 0;
  ring.Dc = std::numeric_limits<std::int32_t>::max();
  Slot(30) = ring;
  MoveItemToSlot(30, 8);
  EXPECT_EQ(G.Player.Dc, std::numeric_limits<std::int32_t>::max());
}

}  // namespace
