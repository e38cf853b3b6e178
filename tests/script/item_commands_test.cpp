// "#GIVE", "#TAKE", "#CHANGE" and "#WLEVELUP".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/game_state.h"
#include "script/script.h"
#include "script/script_fixture.h"
#include "support/test_support.h"
#include "world/items.h"

namespace {

using itemdb::kMiss;
using scripttest::Lines;
using scripttest::ScriptTest;
using testsupport::ScriptedDraws;

ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

class ItemCommandTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    UseItems({{.Name = "木剑", .Type = 20, .Pic1 = 31, .Weight = 5, .Money = 100},
              {.Name = "金创药小", .Type = 2, .Pic1 = 12, .Hp = 20, .Weight = 1, .Money = 10}});
    OnPart(1, 50, 50, 20, 20);
    G.GAMELEVEL = 1;
  }
};

// ---------------------------------------------------------------------------------
// #GIVE and #TAKE

TEST_F(ItemCommandTest, GivingMoreThanTheBagHoldsDropsTheRest) {
  FillBag(1);
  ScriptGive("#GIVE 金创药小 3");
  EXPECT_EQ(Slot(56).Name, "金创药小");
  EXPECT_EQ(G.GroundItemCount, 2);
  EXPECT_EQ(G.GroundItems[1].Name, "金创药小");
  EXPECT_EQ(G.GroundItems[2].Name, "金创药小");
  EXPECT_EQ(Waves(), (std::vector<std::string>{"衣服.wav", "衣服.wav", "衣服.wav"}));
  EXPECT_EQ(MessageCount(), 1);
  const SysMessage* m = Message("金创药小");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->R, 0);
  EXPECT_EQ(m->G, 255);
  EXPECT_EQ(m->B, 0);
}

TEST_F(ItemCommandTest, OnlyTheFirstItemOfAQuestionMarkNameGetsBonusChances) {
  // Five chances for the first item (six draws), none for the second.
  ScriptedDraws d(std::vector<double>(6, kMiss));
  ScriptGive("#give ?木剑 2");
  EXPECT_EQ(d.Left(), 0u);
  EXPECT_EQ(Slot(21).Name, "木剑");
  EXPECT_EQ(Slot(22).Name, "木剑");
  ASSERT_NE(Message("木剑"), nullptr);  // shown without its "?"
}

TEST_F(ItemCommandTest, CountsAreRoundedHalfToEven) {
  ScriptGive("#GIVE 金创药小 2.5");
  EXPECT_EQ(CountItemInBag("金创药小"), 2);
  ScriptGive("#GIVE 金创药小 3.5");
  EXPECT_EQ(CountItemInBag("金创药小"), 6);
  ScriptGive("#GIVE 金创药小 -3");
  ScriptGive("#GIVE 金创药小 XYZ");
  EXPECT_EQ(CountItemInBag("金创药小"), 6);
  ScriptTake("#TAKE 金创药小 0.5");  // 0
  EXPECT_EQ(CountItemInBag("金创药小"), 6);
  ScriptTake("#TAKE 金创药小 1.5");  // 2
  EXPECT_EQ(CountItemInBag("金创药小"), 4);
}

TEST_F(ItemCommandTest, GivingGoldAddsItWithItsSoundAndMessage) {
  G.Player.Money = 5;
  ScriptGive("#GIVE 金币 100");
  EXPECT_EQ(G.Player.Money, 105);
  EXPECT_EQ(W().Lmoney->Caption, "105");
  EXPECT_EQ(Waves(), std::vector<std::string>{"钱.wav"});
  EXPECT_NE(Message("金币"), nullptr);
  EXPECT_EQ(CountFreeBagSlots(), 36);
}

TEST_F(ItemCommandTest, TheNameIsShownOnlyWhenSomethingWasGiven) {
  const struct {
    const char* line;
    int freeSlots;
    bool roomOnTheGround;
    std::size_t sounds;
    const char* shown;  // nullptr: no message
  } cases[] = {
      {"#GIVE 金创药小 1", 1, true, 1, "金创药小"},
      {"#GIVE 金创药小 2", 0, true, 2, "金创药小"},  // on the ground
      {"#GIVE 金创药小 2", 1, false, 2, "金创药小"},  // one in the bag, one nowhere
      {"#GIVE 金创药小 2", 0, false, 2, nullptr},     // no place at all
      {"#GIVE 不存在 2", 1, true, 2, nullptr},
      {"#GIVE 金创药小 0", 1, true, 0, nullptr},
      {"#GIVE 金币abc 1", 1, true, 1, nullptr},        // gold without a number
      {"#GIVE 金币 0", 0, false, 1, "金币"},
  };
  for (const auto& c : cases) {
    G.SysMessages = {};
    sound.calls.clear();
    for (int i = 21; i <= 56; ++i) Slot(i) = ItemRecord{};
    FillBag(c.freeSlots);
    if (c.roomOnTheGround) {
      OnPart(1, 50, 50, 20, 20);
    } else {
      OnPart(1, 2, 2, 1, 1);
    }
    ScriptGive(c.line);
    EXPECT_EQ(Waves().size(), c.sounds) << c.line;
    if (c.shown == nullptr) {
      EXPECT_EQ(MessageCount(), 0) << c.line;
    } else {
      EXPECT_EQ(MessageCount(), 1) << c.line;
      EXPECT_NE(Message(c.shown), nullptr) << c.line;
    }
  }
}

TEST_F(ItemCommandTest, TakingGoldMayLeaveItNegativeAndTakingItemsTakesWhatIsThere) {
  G.Player.Money = 30;
  ScriptTake("#TAKE 金币 50");
  EXPECT_EQ(G.Player.Money, -20);
  EXPECT_EQ(W().Lmoney->Caption, "-20");

  Slot(11).Name = "回城卷";
  Slot(22).Name = "回城卷";
  Slot(30).Name = "回城卷";
  ScriptTake("#TAKE 回城卷 5");
  EXPECT_EQ(CountItemInBag("回城卷"), 0);
  EXPECT_EQ(Slot(11).Name, "回城卷");  // the belt is not the bag
  EXPECT_TRUE(Waves().empty());
  EXPECT_EQ(MessageCount(), 0);
}

TEST_F(ItemCommandTest, GoldStaysWithinItsRange) {
  G.Player.Money = 2147483000;
  ScriptGive("#GIVE 金币 5000");
  EXPECT_EQ(G.Player.Money, 2147483647);
  G.Player.Money = -2147483000;
  ScriptTake("#TAKE 金币 5000");
  EXPECT_EQ(G.Player.Money, -2147483647 - 1);
}

TEST_F(ItemCommandTest, GiveAndTakeRunFromScripts) {
  G.Player.Money = 10;
  Talk(Lines({"#GIVE 金创药小 2", "#TAKE 金币 3", "#ITEMCK 金创药小 = 2", "TWO", "#ENDIF"}));
  EXPECT_EQ(G.Player.Money, 7);
  EXPECT_EQ(Say(), "TWO\r\n");
}

// ---------------------------------------------------------------------------------
// #CHANGE

TEST_F(ItemCommandTest, ChangeRoundsDownAndMoneyRoundsHalfToEven) {
  ScriptChange("#CHANGE HP = 12.7");
  EXPECT_EQ(G.Player.HP, 12);
  ScriptChange("#CHANGE HP = -1.5");
  EXPECT_EQ(G.Player.HP, -2);
  ScriptChange("#CHANGE MONEY = 12.7");
  EXPECT_EQ(G.Player.Money, 13);
  ScriptChange("#CHANGE MONEY = 12.5");
  EXPECT_EQ(G.Player.Money, 12);
  ScriptChange("#CHANGE MONEY + 0.5");
  EXPECT_EQ(G.Player.Money, 12);
  ScriptChange("#CHANGE MONEY + 1.5");
  EXPECT_EQ(G.Player.Money, 14);
}

TEST_F(ItemCommandTest, QuestFlagsAddUp) {
  ScriptChange("#CHANGE ET5 + 1");
  ScriptChange("#CHANGE ET5 + 1");
  EXPECT_EQ(G.Et[5], 2);
  ScriptChange("#CHANGE ET5 - 1");
  EXPECT_EQ(G.Et[5], 1);
  ScriptChange("#CHANGE ET40 = 3");
  EXPECT_EQ(G.Et[40], 3);
  ScriptChange("#CHANGE ET41 = 3");
  ScriptChange("#CHANGE ET05 = 3");
  EXPECT_EQ(G.Et[5], 1);
}

TEST_F(ItemCommandTest, EveryNameWritesItsOwnField) {
  PlayerRecord& p = G.Player;
  struct Case {
    const char* name;
    std::int32_t* field;
  };
  const Case cases[] = {
      {"SPPOINT", &p.SpPoint}, {"SXPOINT", &p.LevelPoint}, {"EX", &p.Ex},       {"HP", &p.HP},
      {"HPMAX", &p.HpMax},     {"MP", &p.Mp},              {"MPMAX", &p.MpMax}, {"DC", &p.Dc},
      {"DCMAX", &p.DcMax},     {"MC", &p.Mc},              {"MCMAX", &p.McMax}, {"DF", &p.Df},
      {"DFMAX", &p.DfMax},     {"MF", &p.Mf},              {"MFMAX", &p.MfMax}, {"DCSPEED", &p.DcSpeed},
      {"NB", &p.Nb},           {"ACC", &p.Acc},            {"XIHP", &p.XiHP},   {"MABI", &p.MaBi},
      {"MBSP", &p.MBSP},       {"LEVEL", &p.Level},        {"BBLEVEL", &G.Spirit.Level},
      {"HEAVY", &p.Heavy},     {"MONEY", &p.Money},
  };
  int value = 100;
  for (const Case& c : cases) {
    ++value;
    ScriptChange(std::string("#change ") + c.name + " = " + std::to_string(value));
    EXPECT_EQ(*c.field, value) << c.name;
    ScriptChange(std::string("#CHANGE ") + c.name + " + 5");
    EXPECT_EQ(*c.field, value + 5) << c.name;
  }
  // Each name touched only its own field: all values are distinct.
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(*cases[i].field, 101 + static_cast<int>(i) + 5) << cases[i].name;
  }
  ScriptChange("#change hpmax - 6");
  EXPECT_EQ(p.HpMax, 104);
}

TEST_F(ItemCommandTest, LevelCannotBeLoweredAndOtherOperatorsChangeNothing) {
  G.Player.Level = 10;
  G.Player.Money = 40;
  ScriptChange("#CHANGE LEVEL - 3");
  EXPECT_EQ(G.Player.Level, 10);
  EXPECT_EQ(W().Llevel->Caption, "10");  // the status still refreshes
  ScriptChange("#CHANGE LEVEL * 3");
  ScriptChange("#CHANGE LEVEL == 3");
  EXPECT_EQ(G.Player.Level, 10);
  ScriptChange("#CHANGE LEVEL + 2");
  EXPECT_EQ(G.Player.Level, 12);
}

TEST_F(ItemCommandTest, MoneyChangesShowTheNumberAsWritten) {
  G.Player.Money = 100;
  ScriptChange("#CHANGE MONEY - 50");
  EXPECT_EQ(G.Player.Money, 50);
  EXPECT_NE(Message("金币50"), nullptr);
  EXPECT_EQ(Waves(), std::vector<std::string>{"钱.wav"});
  ScriptChange("#CHANGE MONEY ? 7.0");  // no change, but sound and message all the same
  EXPECT_EQ(G.Player.Money, 50);
  EXPECT_NE(Message("金币7.0"), nullptr);
  EXPECT_EQ(Waves().size(), 2u);
}

TEST_F(ItemCommandTest, AnUnknownNameOnlyRefreshesTheStatus) {
  G.Player.Money = 5;
  G.Player.Level = 3;
  ScriptChange("#CHANGE FOO = 1");
  EXPECT_EQ(W().Lmoney->Caption, "5");
  EXPECT_EQ(W().Llevel->Caption, "3");
  EXPECT_TRUE(Waves().empty());
  EXPECT_EQ(MessageCount(), 0);
}

TEST_F(ItemCommandTest, ChangesStayWithinTheirRange) {
  G.Player.Ex = 2147483600;
  ScriptChange("#CHANGE EX + 1000");
  EXPECT_EQ(G.Player.Ex, 2147483647);
  ScriptChange("#CHANGE EX = 1e20");
  EXPECT_EQ(G.Player.Ex, 2147483647);
  ScriptChange("#CHANGE EX = -1e20");
  EXPECT_EQ(G.Player.Ex, -2147483647 - 1);
  ScriptChange("#CHANGE EX - 5");
  EXPECT_EQ(G.Player.Ex, -2147483647 - 1);
}

// ---------------------------------------------------------------------------------
// #WLEVELUP

TEST_F(ItemCommandTest, WeaponLevelUpAddsTwoThousandUpToTenThousand) {
  ScriptWLevelUp();  // no weapon: nothing
  EXPECT_EQ(Slot(1), ItemRecord{});
  Slot(1).Name = "木剑";
  Slot(1).Ex = 9000;
  ScriptWLevelUp();
  EXPECT_EQ(Slot(1).Ex, 10000);
  ScriptWLevelUp();
  EXPECT_EQ(Slot(1).Ex, 10000);
  Slot(1).Ex = 1;
  Talk(Lines({"#WLEVELUP"}));
  EXPECT_EQ(Slot(1).Ex, 2001);
  Slot(1).Name.clear();
  Slot(1).Ex = 5;
  ScriptWLevelUp();
  EXPECT_EQ(Slot(1).Ex, 5);
}

}  // namespace
