#include <gtest/gtest.h>

#include "common/game_state.h"
#include "world/player_record.h"

namespace {

class GameStateTest : public ::testing::Test {
 protected:
  void SetUp() override { G = GameState{}; }
  void TearDown() override { G = GameState{}; }

  // Makes part 1 of the given size the current part.
  static void EnterPart(int w, int h) {
    SetPartSize(1, w, h);
    G.SubMap = 1;
  }
};

TEST_F(GameStateTest, FreshStateHasTheGameBounds) {
  EXPECT_EQ(G.Player.Items.size(), 121u);
  EXPECT_EQ(G.Player.M.size(), 21u);
  EXPECT_EQ(G.Et.size(), 41u);
  EXPECT_EQ(G.Monsters.size(), 301u);
  EXPECT_EQ(G.GroundItems.size(), 51u);
  EXPECT_EQ(G.SysMessages.size(), 22u);
  EXPECT_EQ(G.SkillEffects.size(), 6u);
  EXPECT_EQ(G.ScreenEffects.size(), 21u);
  EXPECT_EQ(G.FloatingTexts.size(), 26u);
  EXPECT_EQ(G.ChoiceLabel.size(), 7u);
  EXPECT_EQ(G.MonsterSpawns.size(), 31u);
  EXPECT_EQ(G.MonsterSpawns[30].size(), 301u);
  EXPECT_EQ(G.PartNames.size(), 31u);
  EXPECT_EQ(G.PartWidths.size(), 31u);
  EXPECT_EQ(G.DfItem.size(), 12u);
  EXPECT_EQ(G.MyItem.size(), 12u);
  EXPECT_EQ(G.YzTime.size(), 10u);
  EXPECT_EQ(G.ScriptLines.size(), 1000u);
  EXPECT_TRUE(G.DbConn && G.DbRecordset);
  EXPECT_EQ(G.Spirit.State, SpiritState::Idle);
  EXPECT_EQ(SpiritText(G.Spirit.State), "停止");
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
}

TEST_F(GameStateTest, AssigningAFreshStateForgetsEverything) {
  G.Player.Items[120].Name = "木剑";
  G.Et[40] = 7;
  EnterPart(10, 10);
  SetGridBlocked(3, 3);
  SetCellField(1, 2, 2, 3, "N商人0001");
  G = GameState{};
  EXPECT_EQ(G.Player.Items[120].Name, "");
  EXPECT_EQ(G.Et[40], 0);
  EXPECT_EQ(G.PartWidths[1], 0);
  EXPECT_EQ(G.Texts.Count(), 1u);
}

TEST_F(GameStateTest, ActionTextsAreFixedWidthThreeCharacters) {
  EXPECT_EQ(ActionText(ActionState::Stand), "停  ");
  EXPECT_EQ(ActionText(ActionState::Walk), "走  ");
  EXPECT_EQ(ActionText(ActionState::Run), "跑  ");
  EXPECT_EQ(ActionText(ActionState::Attack), "攻击 ");
  EXPECT_EQ(ActionText(ActionState::Magic), "魔法 ");
  EXPECT_EQ(ActionText(ActionState::Hit), "被攻击");
  EXPECT_EQ(ActionText(ActionState::Dying), "死亡 ");
  EXPECT_EQ(ActionText(ActionState::Dead), "   ");
  EXPECT_EQ(ActionText(ActionState::Move), "移动 ");
  EXPECT_EQ(ActionText(ActionState::Chase), "追击 ");
  EXPECT_EQ(ActionText(ActionState::Rest), "间歇 ");
  EXPECT_EQ(SpiritText(SpiritState::Move), "移动");
  EXPECT_EQ(SpiritText(SpiritState::Magic), "魔法");
}

TEST_F(GameStateTest, DirectionsRunClockwiseFromNorth) {
  EXPECT_EQ(DirectionOffset(DirNorth).dy, -1);
  EXPECT_EQ(DirectionOffset(DirNorthEast).dx, 1);
  EXPECT_EQ(DirectionOffset(DirNorthEast).dy, -1);
  EXPECT_EQ(DirectionOffset(DirSouthWest).dx, -1);
  EXPECT_EQ(DirectionOffset(DirSouthWest).dy, 1);
  EXPECT_EQ(DirectionOffset(DirNorthWest).dx, -1);
  EXPECT_EQ(DirectionOffset(DirNorthWest).dy, -1);
  EXPECT_EQ(DirectionOffset(8).dx, 0);
  EXPECT_EQ(DirectionOffset(-1).dy, 0);
}

TEST_F(GameStateTest, PlayerStandsOnTheViewOriginPlusEight) {
  G.ViewX = 20;
  G.ViewY = 30;
  EXPECT_EQ(PlayerCellX(), 28);
  EXPECT_EQ(PlayerCellY(), 38);
  const CellOffset north = DirectionOffset(DirNorth);
  EXPECT_EQ(PlayerCellX() + north.dx, 28);
  EXPECT_EQ(PlayerCellY() + north.dy, 37);
  EXPECT_EQ(ViewToMapX(0), 21);
  EXPECT_EQ(ViewToMapY(13), 44);
}

TEST_F(GameStateTest, OnlyOneAndMonsterTextsBlock) {
  EnterPart(200, 200);
  SetGridText(5, 5, "10");
  SetGridText(5, 6, "0");
  SetGridText(5, 7, "1");
  SetGridText(5, 8, "M0003");
  SetGridText(5, 9, "Mx");
  SetGridText(5, 10, "");
  SetGridText(5, 11, " 1");
  EXPECT_FALSE(GridBlocked(5, 5));
  EXPECT_FALSE(GridBlocked(5, 6));
  EXPECT_TRUE(GridBlocked(5, 7));
  EXPECT_TRUE(GridBlocked(5, 8));
  EXPECT_TRUE(GridBlocked(5, 9));
  EXPECT_FALSE(GridBlocked(5, 10));
  EXPECT_FALSE(GridBlocked(5, 11));
  // Texts come back exactly as written.
  EXPECT_EQ(GridText(5, 5), "10");
  EXPECT_EQ(GridText(5, 6), "0");
  EXPECT_EQ(GridText(5, 8), "M0003");
  EXPECT_EQ(GridText(5, 9), "Mx");
  EXPECT_EQ(GridText(5, 11), " 1");
  EXPECT_EQ(GridMonster(5, 8), 3);
  EXPECT_EQ(GridMonster(5, 9), 0);
  EXPECT_EQ(GridMonster(5, 7), 0);
}

TEST_F(GameStateTest, MonsterCellsKeepFourDigits) {
  EnterPart(50, 50);
  SetGridMonster(1, 1, 300);
  SetGridMonster(1, 2, 12);
  SetGridMonster(1, 3, 301);
  EXPECT_EQ(GridText(1, 1), "M0300");
  EXPECT_EQ(GridText(1, 2), "M0012");
  EXPECT_EQ(GridMonster(1, 1), 300);
  // Beyond the monster list the cell still blocks but names no monster.
  EXPECT_TRUE(GridBlocked(1, 3));
  EXPECT_EQ(GridMonster(1, 3), 0);
  SetGridFree(1, 1);
  EXPECT_EQ(GridText(1, 1), "");
  EXPECT_FALSE(GridBlocked(1, 1));
}

TEST_F(GameStateTest, OffGridCellsReadBlockedAndEmpty) {
  EnterPart(20, 10);
  for (int x = 1; x <= 20; ++x)
    for (int y = 1; y <= 10; ++y) {
      SetItemGridAt(x, y, 4);
      SetDeadGridAt(x, y, 5);
    }
  const int outside[][2] = {{0, 5}, {201, 5}, {21, 5}, {5, 0}, {5, 11}, {5, 201}, {-3, -3}, {100000, 5}};
  for (const auto& c : outside) {
    SCOPED_TRACE(testing::Message() << c[0] << "," << c[1]);
    EXPECT_TRUE(GridBlocked(c[0], c[1]));
    EXPECT_EQ(GridText(c[0], c[1]), "1");
    EXPECT_EQ(GridMonster(c[0], c[1]), 0);
    EXPECT_EQ(ItemGridAt(c[0], c[1]), 0);
    EXPECT_EQ(DeadGridAt(c[0], c[1]), 0);
    EXPECT_FALSE(OnGrid(c[0], c[1]));
  }
  EXPECT_EQ(ItemGridAt(20, 10), 4);
  EXPECT_EQ(DeadGridAt(1, 1), 5);
  EXPECT_FALSE(GridBlocked(20, 10));
}

TEST_F(GameStateTest, WritesOutsideThePartAreIgnored) {
  EnterPart(20, 10);
  SetGridMonster(21, 5, 7);
  SetGridFree(21, 5);
  SetItemGridAt(5, 11, 9);
  SetDeadGridAt(0, 0, 9);
  SetGridText(201, 201, "");
  // A larger part later shows none of those writes.
  EnterPart(200, 200);
  EXPECT_EQ(GridText(21, 5), "");
  EXPECT_EQ(ItemGridAt(5, 11), 0);
  EXPECT_TRUE(GridBlocked(201, 201));  // still outside: blocked
}

TEST_F(GameStateTest, NoMapLoadedMeansEverythingBlocked) {
  EXPECT_TRUE(GridBlocked(1, 1));
  G.SubMap = 31;  // not a part
  SetPartSize(31, 10, 10);  // ignored
  EXPECT_TRUE(GridBlocked(1, 1));
  EXPECT_EQ(CellField(31, 1, 1, 3), "0");
}

TEST_F(GameStateTest, CellFieldsAreStoredPerPartAndInterned) {
  SetPartSize(1, 3, 2);
  SetPartSize(2, 200, 200);
  SetCellField(1, 3, 2, 1, "17");
  SetCellField(1, 3, 2, 2, "20012");
  SetCellField(1, 3, 2, 3, "N铁匠1001");
  SetCellField(1, 3, 2, 4, "010200300040");
  SetCellField(2, 200, 200, 3, "N铁匠1001");
  EXPECT_EQ(CellField(1, 3, 2, 1), "17");
  EXPECT_EQ(CellField(1, 3, 2, 2), "20012");
  EXPECT_EQ(CellField(1, 3, 2, 3), "N铁匠1001");
  EXPECT_EQ(CellField(1, 3, 2, 4), "010200300040");
  EXPECT_EQ(CellField(2, 200, 200, 3), "N铁匠1001");
  EXPECT_EQ(CellField(2, 3, 2, 3), "");
  EXPECT_EQ(CellFloorNumber(1, 3, 2), 17);
  EXPECT_EQ(CellFloorNumber(1, 1, 1), 0);
  // One id for the two equal texts.
  EXPECT_EQ(G.MapCells[1].Cells.back().Kind, G.MapCells[2].Cells.back().Kind);
  // The parts take only their real size.
  EXPECT_EQ(G.MapCells[1].Cells.size(), 6u);
  EXPECT_EQ(G.MapCells[3].Cells.size(), 0u);
}

TEST_F(GameStateTest, CellsOutsideAPartReadAsBlockedKind) {
  SetPartSize(1, 3, 2);
  SetCellField(1, 4, 1, 1, "5");  // ignored
  SetCellField(1, 1, 1, 5, "x");  // no such field
  EXPECT_EQ(CellField(1, 4, 1, 1), "");
  EXPECT_EQ(CellField(1, 4, 1, 3), "0");
  EXPECT_EQ(CellField(1, 0, 1, 3), "0");
  EXPECT_EQ(CellField(1, 1, 3, 4), "");
  EXPECT_EQ(CellField(-1, 1, 1, 3), "0");
  EXPECT_EQ(CellField(1, 1, 1, 0), "");
  EXPECT_EQ(CellFloorNumber(1, 4, 1), 0);
  // A width lowered by hand narrows the part without touching the storage.
  G.PartWidths[1] = 2;
  EXPECT_EQ(CellField(1, 3, 1, 3), "0");
}

TEST_F(GameStateTest, FloorNumbersReadLikeVal) {
  SetPartSize(1, 4, 1);
  SetCellField(1, 1, 1, 1, "abc");
  SetCellField(1, 2, 1, 1, " 12x");
  SetCellField(1, 3, 1, 1, "99999999999");
  EXPECT_EQ(CellFloorNumber(1, 1, 1), 0);
  EXPECT_EQ(CellFloorNumber(1, 2, 1), 12);
  EXPECT_EQ(CellFloorNumber(1, 3, 1), 0);
  EXPECT_EQ(CellField(1, 1, 1, 1), "abc");
}

TEST_F(GameStateTest, PartTemplatesCopyIntoTheLiveGrid) {
  SetPartSize(2, 5, 5);
  SetPartGridText(2, 1, 1, "1");
  SetPartGridText(2, 5, 5, "M0002");
  SetPartGridText(2, 6, 5, "1");  // outside: ignored
  EXPECT_EQ(PartGridText(2, 5, 5), "M0002");
  EXPECT_EQ(PartGridText(2, 6, 5), "1");  // outside reads blocked
  EnterPart(200, 200);
  SetGridBlocked(100, 100);
  G.SubMap = 2;
  CopyPartGridToGrid(2);
  EXPECT_TRUE(GridBlocked(1, 1));
  EXPECT_EQ(GridMonster(5, 5), 2);
  EXPECT_FALSE(GridBlocked(2, 2));
  // Back on the big part, the old content is gone.
  G.SubMap = 1;
  EXPECT_FALSE(GridBlocked(100, 100));
  EXPECT_EQ(GridText(5, 5), "M0002");
}

TEST_F(GameStateTest, ClearingTheMapEmptiesCellsAndGrids) {
  EnterPart(10, 10);
  SetCellField(1, 1, 1, 2, "10001");
  SetPartGridText(1, 1, 1, "1");
  SetGridBlocked(2, 2);
  G.PartNames[1] = "镇安村";
  G.PartScripts[1] = "#X\r\n";
  ClearMapArrays();
  EXPECT_EQ(CellField(1, 1, 1, 2), "");
  EXPECT_EQ(PartGridText(1, 1, 1), "");
  EXPECT_FALSE(GridBlocked(2, 2));
  EXPECT_EQ(G.PartNames[1], "");
  EXPECT_EQ(G.PartScripts[1], "");
  EXPECT_EQ(G.PartWidths[1], 10);
}

TEST_F(GameStateTest, PartSizesAreCutToTheMap) {
  SetPartSize(1, 500, -4);
  EXPECT_EQ(G.PartWidths[1], 200);
  EXPECT_EQ(G.PartHeights[1], 0);
  EXPECT_TRUE(G.MapCells[1].Cells.empty());
}

// --- the transformation's record copies

class PlayerRecordTest : public GameStateTest {
 protected:
  void SetUp() override {
    G = GameState{};
    PlayerRecord& p = G.Player;
    p.HP = 80;
    p.HpMax = 100;
    p.Mp = 40;
    p.MpMax = 60;
    p.Dc = 5;
    p.DcMax = 9;
    p.Mc = 3;
    p.McMax = 12;
    p.Df = 2;
    p.DfMax = 4;
    p.Mf = 1;
    p.MfMax = 6;
    p.Nb = 7;
    p.Acc = 8;
    p.DcSpeed = 2;
    p.XiHP = 1;
    p.MaBi = 3;
    p.zd = 4;
    p.Luck = 2;
    p.Heavy = 50;
    p.Money = 1000;
    p.Ex = 77;
    p.Items[1].Name = "木剑";
    p.M[3] = "F10";
  }
};

TEST_F(PlayerRecordTest, BackupCopiesEverythingAndMarksTheTransformation) {
  BackupPlayerRecord();
  EXPECT_EQ(G.PlayerBackup.McMax, 12);
  EXPECT_EQ(G.PlayerBackup.Mc, 3);
  EXPECT_EQ(G.PlayerBackup.Items[1].Name, "木剑");
  EXPECT_EQ(G.PlayerBackup.M[3], "F10");
  EXPECT_EQ(G.Player.Mc, 0);
  EXPECT_EQ(G.Player.McMax, 0);
  EXPECT_EQ(G.Player.Dc, 5);
}

TEST_F(PlayerRecordTest, RestoreAfterDamageKeepsHitAndMagicPoints) {
  BackupPlayerRecord();
  // The transformed form fights with other stats and takes damage.
  G.Player.Dc = 50;
  G.Player.DcMax = 90;
  G.Player.Df = 30;
  G.Player.Nb = 0;
  G.Player.HP = 12;
  G.Player.Mp = 3;
  G.Player.Luck = 9;
  G.Player.Money = 1500;
  G.Player.Ex = 99;
  G.Player.Items[1].Name = "";
  G.Player.M[3] = "F11";
  RestorePlayerStats();
  const PlayerRecord& p = G.Player;
  EXPECT_EQ(p.Dc, 5);
  EXPECT_EQ(p.DcMax, 9);
  EXPECT_EQ(p.Mc, 3);
  EXPECT_EQ(p.McMax, 12);
  EXPECT_EQ(p.Df, 2);
  EXPECT_EQ(p.DfMax, 4);
  EXPECT_EQ(p.Mf, 1);
  EXPECT_EQ(p.MfMax, 6);
  EXPECT_EQ(p.Nb, 7);
  EXPECT_EQ(p.Acc, 8);
  EXPECT_EQ(p.DcSpeed, 2);
  EXPECT_EQ(p.XiHP, 1);
  EXPECT_EQ(p.MaBi, 3);
  EXPECT_EQ(p.zd, 4);
  // Not part of the stat block.
  EXPECT_EQ(p.HP, 12);
  EXPECT_EQ(p.Mp, 3);
  EXPECT_EQ(p.Luck, 9);
  EXPECT_EQ(p.Money, 1500);
  EXPECT_EQ(p.Ex, 99);
  EXPECT_EQ(p.Items[1].Name, "");
  EXPECT_EQ(p.M[3], "F11");
}

TEST_F(PlayerRecordTest, DoubleBackupLosesTheMagicRange) {
  BackupPlayerRecord();
  BackupPlayerRecord();
  EXPECT_EQ(G.PlayerBackup.Mc, 0);
  EXPECT_EQ(G.PlayerBackup.McMax, 0);
  RestorePlayerStats();
  EXPECT_EQ(G.Player.Mc, 0);
  EXPECT_EQ(G.Player.McMax, 0);
  EXPECT_EQ(G.Player.Dc, 5);
}

}  // namespace
