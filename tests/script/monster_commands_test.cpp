// "#MOB", "#KILLMON", "#KILLMONALL", "#KILLNPC" and "#UNNPC".
#include <gtest/gtest.h>

#include <string>

#include "common/game_state.h"
#include "script/script.h"
#include "script/script_fixture.h"

namespace {

using scripttest::Lines;
using scripttest::ScriptTest;

class MonsterCommandTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    G.SubMap = 3;
    SetPartSize(3, 100, 80);
    G.MonsterKinds.resize(3);
    MonsterKind& boar = G.MonsterKinds[1];
    boar.MonName = "野猪";
    boar.Pic = 7;
    boar.Hp = 60;
    boar.R = 10, boar.G = 20, boar.B = 30, boar.A = 40;
    G.MonsterKinds[2].MonName = "Bat";
    G.MonsterKindCount = 2;
  }
};

TEST_F(MonsterCommandTest, MobFillsTheNextEntryAndMarksTheCell) {
  G.MonsterCount = 7;
  G.Monsters[8].LastTick = 1234;
  G.Monsters[8].Direction = 5;
  G.Monsters[8].State = ActionState::Dying;
  G.Monsters[8].Freeze = 3;
  G.Monsters[8].PixelX = 9;
  ScriptMob("#mob 野猪 12 13");
  EXPECT_EQ(G.MonsterCount, 8);
  EXPECT_EQ(GridText(12, 13), "M0008");
  const MonsterInstance& m = G.Monsters[8];
  EXPECT_EQ(m.X, 12);
  EXPECT_EQ(m.Y, 13);
  EXPECT_EQ(m.Kind, 1);
  EXPECT_EQ(m.Pic, 7);
  EXPECT_EQ(m.HP, 60);
  EXPECT_EQ(m.R, 10);
  EXPECT_EQ(m.G, 20);
  EXPECT_EQ(m.B, 30);
  EXPECT_EQ(m.A, 40);
  EXPECT_EQ(m.State, ActionState::Stand);
  EXPECT_EQ(m.Direction, 0);
  EXPECT_EQ(m.Tick, 1);
  EXPECT_EQ(m.Frame, 1);
  EXPECT_EQ(m.Step, 1);
  EXPECT_EQ(m.Freeze, 0);
  EXPECT_EQ(m.Poison, 0);
  EXPECT_EQ(m.WasHit, 0);
  EXPECT_EQ(m.PixelX, 0);
  EXPECT_EQ(m.PixelY, 0);
  EXPECT_EQ(m.LastTick, 1234);  // not set
}

TEST_F(MonsterCommandTest, MobDoesNothingOnAMonsterCellOrForAnUnknownKind) {
  SetGridMonster(5, 5, 2);
  G.MonsterCount = 2;
  ScriptMob("#mob 野猪 5 5");
  EXPECT_EQ(G.MonsterCount, 2);
  EXPECT_EQ(GridMonster(5, 5), 2);
  ScriptMob("#mob 狼 6 6");
  ScriptMob("#mob  6 6");
  ScriptMob("#mob bat 6 6");  // names compare exactly
  EXPECT_EQ(G.MonsterCount, 2);
  EXPECT_EQ(GridText(6, 6), "");
  ScriptMob("#mob Bat 6.9 6.2");
  EXPECT_EQ(G.MonsterCount, 3);
  EXPECT_EQ(G.Monsters[3].Kind, 2);
  EXPECT_EQ(GridMonster(6, 6), 3);
}

TEST_F(MonsterCommandTest, MobTakesABlockedCellButNothingOutsideThePartOrBeyond300) {
  SetGridBlocked(9, 9);
  ScriptMob("#mob 野猪 9 9");
  EXPECT_EQ(GridMonster(9, 9), 1);

  for (const char* line : {"#mob 野猪 0 5", "#mob 野猪 101 5", "#mob 野猪 5 81", "#mob 野猪 -3 -3"}) {
    ScriptMob(line);
    EXPECT_EQ(G.MonsterCount, 1) << line;
  }

  G.MonsterCount = 299;
  ScriptMob("#mob 野猪 20 20");
  EXPECT_EQ(G.MonsterCount, 300);
  EXPECT_EQ(GridText(20, 20), "M0300");
  ScriptMob("#mob 野猪 21 21");
  EXPECT_EQ(G.MonsterCount, 300);
  EXPECT_EQ(GridText(21, 21), "");
}

TEST_F(MonsterCommandTest, MobFromAScriptUsesTheUpperCasedName) {
  G.MonsterKinds[2].MonName = "BAT";
  Talk(Lines({"#mob bat 4 4", "#MONCK BAT = 1", "ONE BAT", "#ENDIF"}));
  EXPECT_EQ(GridMonster(4, 4), 1);
  EXPECT_EQ(Say(), "ONE BAT\r\n");
}

TEST_F(MonsterCommandTest, KillMonFreesWhateverTheCellHeld) {
  SetGridBlocked(3, 3);
  SetGridMonster(4, 4, 1);
  G.Monsters[1].HP = 33;
  ScriptKillMon("#KILLMON 3 3");
  ScriptKillMon("#KILLMON 4.7 4.2");
  EXPECT_EQ(GridText(3, 3), "");
  EXPECT_EQ(GridText(4, 4), "");
  EXPECT_EQ(G.Monsters[1].HP, 33);  // the entry is left alone
  ScriptKillMon("#KILLMON 500 500");  // outside the part: nothing
}

TEST_F(MonsterCommandTest, KillMonAllClearsOnlyMonsterCells) {
  SetGridBlocked(1, 1);
  SetGridMonster(2, 2, 1);
  SetGridMonster(100, 80, 2);
  SetGridText(50, 50, "MOSS");  // any text that begins with "M" is a monster cell
  SetGridText(60, 60, "X");
  ScriptKillMonAll();
  EXPECT_EQ(GridText(1, 1), "1");
  EXPECT_EQ(GridText(2, 2), "");
  EXPECT_EQ(GridText(100, 80), "");
  EXPECT_EQ(GridText(50, 50), "");
  EXPECT_EQ(GridText(60, 60), "X");
  EXPECT_EQ(GridText(7, 7), "");
}

TEST_F(MonsterCommandTest, NpcsAreHiddenOnceAndShownAgain) {
  SetCellField(3, 10, 11, 3, "N村长0001");
  ScriptKillNpc("#KILLNPC 10 11");
  ScriptKillNpc("#KILLNPC 10 11");
  EXPECT_EQ(CellField(3, 10, 11, 3), "*N村长0001");
  ScriptUnNpc("#UNNPC 10 11");
  EXPECT_EQ(CellField(3, 10, 11, 3), "N村长0001");
  ScriptUnNpc("#UNNPC 10 11");  // already shown
  EXPECT_EQ(CellField(3, 10, 11, 3), "N村长0001");
  ScriptUnNpc("#UNNPC 12 12");  // a cell without "*"
  EXPECT_EQ(CellField(3, 12, 12, 3), "");
}

TEST_F(MonsterCommandTest, NpcCommandsOutsideThePartDoNothing) {
  SetPartSize(4, 200, 200);
  SetCellField(4, 150, 90, 3, "N人0001");
  ScriptKillNpc("#KILLNPC 150 90");  // part 3 is 100 x 80
  ScriptUnNpc("#UNNPC 0 0");
  EXPECT_EQ(CellField(4, 150, 90, 3), "N人0001");
  EXPECT_EQ(CellField(3, 150, 90, 3), "0");
}

}  // namespace
