// Value names and the conditions "#IF", "#ITEMCK" and "#MONCK".
#include <gtest/gtest.h>

#include <string>

#include "common/game_state.h"
#include "script/script.h"
#include "script/script_fixture.h"
#include "support/test_support.h"

namespace {

using scripttest::Lines;
using scripttest::ScriptTest;
using testsupport::ScriptedDraws;

TEST_F(ScriptTest, ValueNamesReadThePlayerAndTheGame) {
  PlayerRecord& p = G.Player;
  p.HP = 1, p.HpMax = 2, p.Mp = 3, p.MpMax = 4, p.Dc = 5, p.DcMax = 6, p.Mc = 7, p.McMax = 8, p.Df = 9,
  p.DfMax = 10, p.DcSpeed = 11, p.Nb = 12, p.Acc = 13, p.Level = 14, p.Heavy = 100, p.Money = 16, p.MapS = 3;
  G.GAMELEVEL = 2;
  G.Et[40] = 44;
  p.Items[1].Name = "剑";
  p.Items[1].Weight = 30;
  p.Items[21].Name = "石";
  p.Items[21].Weight = 10;
  const std::pair<const char*, int> cases[] = {
      {"HP", 1},        {"hpmax", 2},  {"MP", 3},     {"MPMAX", 4},  {"DC", 5},     {"DCMAX", 6},  {"MC", 7},
      {"MCMAX", 8},     {"DF", 9},     {"DFMAX", 10}, {"DCSPEED", 11}, {"NB", 12},  {"ACC", 13},   {"LEVEL", 14},
      {"GAMELEVEL", 2}, {"HEAVY", 100}, {"MONEY", 16}, {"MAPS", 3},   {"ET40", 44},  {"et1", 0},    {"VIP", 0},
      {"RPGIM", 35},    {"RPGFZ", 60},
  };
  for (const auto& [name, value] : cases) EXPECT_EQ(GetScriptValue(name), value) << name;
}

TEST_F(ScriptTest, NamesThatAreNotReadableGiveMinusOne) {
  G.Player.Mf = 50;
  G.Player.Ex = 50;
  for (const char* name : {"MF", "MFMAX", "EX", "SPPOINT", "SXPOINT", "BBLEVEL", "ET0", "ET41", "ET05", "", "HP "}) {
    EXPECT_EQ(GetScriptValue(name), -1) << name;
  }
  EXPECT_FALSE(ScriptIfValue("#IF MF > 3"));
  EXPECT_TRUE(ScriptIfValue("#IF MF < 0"));
}

TEST_F(ScriptTest, RndIsDrawnAtEveryRead) {
  ScriptedDraws d({0.299, 0.30, 0.0, 0.999});
  EXPECT_TRUE(ScriptIfValue("#IF RND < 30"));   // 29
  EXPECT_FALSE(ScriptIfValue("#IF RND < 30"));  // 30
  EXPECT_EQ(GetScriptValue("RND"), 0);
  EXPECT_EQ(GetScriptValue("RND"), 99);
}

TEST_F(ScriptTest, TheNumberIsRoundedDownAndOnlyThreeOperatorsExist) {
  G.Player.Level = 7;
  EXPECT_TRUE(ScriptIfValue("#IF LEVEL = 7.9"));
  EXPECT_FALSE(ScriptIfValue("#IF LEVEL > 7.99"));
  EXPECT_TRUE(ScriptIfValue("#IF LEVEL > 6.99"));
  EXPECT_TRUE(ScriptIfValue("#IF LEVEL < 8"));
  EXPECT_FALSE(ScriptIfValue("#IF LEVEL >= 7"));
  EXPECT_FALSE(ScriptIfValue("#IF LEVEL <> 3"));
  EXPECT_FALSE(ScriptIfValue("#IF LEVEL"));
  EXPECT_TRUE(ScriptIfValue("#IF MF = -1"));
  EXPECT_FALSE(ScriptIfValue("#IF MF = -1.5"));  // -2
  EXPECT_TRUE(ScriptIfValue("#IF MF > -1.5"));
  EXPECT_TRUE(ScriptIfValue("#IF LEVEL > ABC"));  // not a number: 0
}

TEST_F(ScriptTest, QuestFlagConditions) {
  const std::string text = Lines({"#IF ET5 = 1", "DONE", "#ELSE", "NOT YET", "#ENDIF"});
  for (int v : {0, 1, 2}) {
    G.Et[5] = v;
    Talk(text);
    EXPECT_EQ(Say(), v == 1 ? "DONE\r\n" : "NOT YET\r\n") << v;
  }
}

TEST_F(ScriptTest, ItemCountLooksOnlyAtTheBag) {
  G.Player.Items[1].Name = "回城卷";
  G.Player.Items[11].Name = "回城卷";
  G.Player.Items[61].Name = "回城卷";
  EXPECT_FALSE(ScriptIfItemCount("#ITEMCK 回城卷 > 0"));
  G.Player.Items[56].Name = "回城卷";
  G.Player.Items[21].Name = "回城卷";
  EXPECT_TRUE(ScriptIfItemCount("#ITEMCK 回城卷 > 0"));
  EXPECT_TRUE(ScriptIfItemCount("#ITEMCK 回城卷 = 2"));
  EXPECT_FALSE(ScriptIfItemCount("#ITEMCK 回城卷 < 2"));
}

class MonsterCountTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    G.MonsterKinds.resize(4);
    G.MonsterKinds[1].MonName = "野猪";
    G.MonsterKinds[2].MonName = "bat";
    G.MonsterKinds[3].MonName = "BAT";
    G.MonsterKindCount = 3;
    G.SubMap = 1;
    SetPartSize(1, 200, 200);
  }
  void Place(int x, int y, int n, int kind) {
    SetGridMonster(x, y, n);
    G.Monsters[static_cast<std::size_t>(n)].Kind = kind;
  }
};

TEST_F(MonsterCountTest, CountsMonstersOfAKindInTheFirst150ColumnsAndRows) {
  Place(1, 1, 1, 1);
  Place(150, 150, 2, 1);
  Place(151, 10, 3, 1);  // beyond column 150
  Place(10, 200, 4, 1);  // beyond row 150
  Place(20, 20, 5, 3);
  SetGridBlocked(30, 30);
  EXPECT_TRUE(ScriptIfMonCount("#MONCK 野猪 = 2"));
  EXPECT_TRUE(ScriptIfMonCount("#MONCK BAT = 1"));
  EXPECT_FALSE(ScriptIfMonCount("#MONCK 野猪 > 2"));
  EXPECT_TRUE(ScriptIfMonCount("#MONCK 无 = 0"));
}

TEST_F(MonsterCountTest, AKindWithLowerCaseLettersNeverMatchesFromAScript) {
  Place(5, 5, 1, 2);  // "bat"
  Talk(Lines({"#MONCK bat > 0", "SEEN", "#ENDIF"}));
  EXPECT_EQ(Say(), "");  // the line reads "BAT", which kind 2 is not
}

TEST_F(MonsterCountTest, CellsNamingNoUsableMonsterCountNothing) {
  SetGridText(5, 5, "M0000");
  SetGridText(6, 6, "M9999");
  Place(7, 7, 3, 0);   // kind 0
  Place(8, 8, 4, 17);  // a kind beyond the table
  EXPECT_TRUE(ScriptIfMonCount("#MONCK 野猪 = 0"));
}

}  // namespace
