// The part change: the live grid from the part's template, the part's monsters afresh,
// ground items and corpses gone, the minimap picture, and the part script run silently.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/game_state.h"
#include "graphics/resources.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "world/part_change.h"

namespace {

namespace fs = std::filesystem;

class PartChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = plat::ProgramFolder();
    savedCwd_ = fs::current_path();
    plat::SetProgramFolder(dir.path());
    fs::current_path(dir.path());
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    ui::BuildMainWindow();
    AddKind("鸡", 10, 250, 240, 230, 220);
    AddKind("羊", 25, 11, 12, 13, 14);

    // Map 1: part 2 is 6 x 5 with a wall, an NPC and three spawns; part 1 is 3 x 3, empty.
    G.MainMap = 1;
    SetPartSize(1, 3, 3);
    G.PartNames[1] = "甲";
    SetPartSize(2, 6, 5);
    G.PartNames[2] = "乙";
    SetCellField(2, 1, 1, 3, "0");
    SetPartGridText(2, 1, 1, "1");
    SetCellField(2, 6, 5, 3, "N村长1001");
    SetPartGridText(2, 6, 5, "1");
    Spawn(2, 1, 3, 2, 1);
    Spawn(2, 2, 4, 4, 2);
    Spawn(2, 3, 6, 1, 1);
  }
  void TearDown() override {
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    fs::current_path(savedCwd_);
    plat::SetProgramFolder(savedFolder_);
  }

  void AddKind(const std::string& name, int hp, int r, int g, int b, int a) {
    MonsterKind k;
    k.MonName = name;
    k.Hp = hp;
    k.R = r;
    k.G = g;
    k.B = b;
    k.A = a;
    G.MonsterKinds.push_back(k);
    G.MonsterKindCount = static_cast<std::int32_t>(G.MonsterKinds.size()) - 1;
  }
  // Spawn n of a part at (x, y), as the map loader leaves it.
  void Spawn(int part, int n, int x, int y, int kind) {
    MonsterInstance& s = G.MonsterSpawns[static_cast<std::size_t>(part)][static_cast<std::size_t>(n)];
    s.X = x;
    s.Y = y;
    s.Kind = kind;
    s.HP = G.MonsterKinds[static_cast<std::size_t>(kind)].Hp;
    SetPartGridText(part, x, y, "M" + std::string(n < 10 ? "000" : "00") + std::to_string(n));
  }

  testsupport::TempDir dir;
  testsupport::ScopedDialogs dialogs;
  testsupport::ScopedEndThrows ends;

 private:
  fs::path savedFolder_, savedCwd_;
};

TEST_F(PartChangeTest, BuildsTheGridFromTheTemplateAndTheMonstersFromTheSpawns) {
  // What the part left from an earlier visit: a moved, wounded, poisoned monster.
  G.Monsters[1].HP = 3;
  G.Monsters[1].State = ActionState::Chase;
  G.Monsters[1].PixelX = 12;
  G.Monsters[1].Poison = 40;
  G.Monsters[1].Freeze = 7;
  G.Monsters[1].WasHit = 1;
  G.Monsters[1].LastTick = 99;
  G.Monsters[1].Pic = 42;
  G.Monsters[1].Direction = 5;
  G.Monsters[1].Tick = 17;
  G.Monsters[1].Frame = 77;
  G.Monsters[1].Step = 4;
  G.SubMap = 1;
  SetGridText(2, 2, "1");
  G.TargetTimer = 50;
  G.LockedMon = 1;
  ui::Form1.Psys2->Visible = true;

  ChangeMap(2);

  EXPECT_EQ(G.SubMap, 2);
  EXPECT_FALSE(ui::Form1.Psys2->Visible);
  EXPECT_EQ(G.TargetTimer, 0);
  EXPECT_EQ(G.LockedMon, 0);  // a spell lock stays behind
  EXPECT_EQ(GridText(1, 1), "1");
  EXPECT_EQ(GridText(6, 5), "1");
  EXPECT_EQ(GridText(3, 2), "M0001");
  EXPECT_EQ(GridText(4, 4), "M0002");
  EXPECT_EQ(GridText(6, 1), "M0003");
  EXPECT_EQ(GridText(2, 2), "");
  EXPECT_EQ(G.MonsterCount, 3);

  const MonsterInstance& m = G.Monsters[1];
  EXPECT_EQ(m.X, 3);
  EXPECT_EQ(m.Y, 2);
  EXPECT_EQ(m.Kind, 1);
  EXPECT_EQ(m.HP, 10);
  EXPECT_EQ(m.State, ActionState::Stand);
  EXPECT_EQ(m.Frame, 1);
  EXPECT_EQ(m.Step, 1);
  EXPECT_EQ(m.WasHit, 0);
  EXPECT_EQ(m.Freeze, 0);
  EXPECT_EQ(m.Poison, 0);
  EXPECT_EQ(m.LastTick, 0);
  EXPECT_EQ(m.PixelX, 0);
  EXPECT_EQ(m.PixelY, 0);
  EXPECT_EQ(m.R, 250);
  EXPECT_EQ(m.G, 240);
  EXPECT_EQ(m.B, 230);
  EXPECT_EQ(m.A, 220);
  // Picture, facing and counter stay as they were.
  EXPECT_EQ(m.Pic, 42);
  EXPECT_EQ(m.Direction, 5);
  EXPECT_EQ(m.Tick, 17);
  EXPECT_EQ(G.Monsters[2].Kind, 2);
  EXPECT_EQ(G.Monsters[2].R, 11);
  // Slots past the spawns name no kind.
  EXPECT_EQ(G.Monsters[4].Kind, 0);
  EXPECT_EQ(G.Monsters[4].A, 0);
  // Cells beyond the part are blocked for everyone.
  EXPECT_TRUE(GridBlocked(7, 1));
  EXPECT_TRUE(GridBlocked(1, 6));
}

TEST_F(PartChangeTest, EnteringAgainBringsTheMonstersBackAndClearsTheGround) {
  ChangeMap(2);
  // The first monster died and left a corpse; an item lies on the ground.
  G.Monsters[1].HP = 0;
  SetGridFree(3, 2);
  SetDeadGridAt(3, 2, 1);
  G.GroundItems[1].Name = "回城卷";
  G.GroundItemCount = 1;
  SetItemGridAt(5, 3, 1);
  SetGridMonster(5, 5, 4);  // a monster a script brought
  G.MonsterCount = 4;

  ChangeMap(2);

  EXPECT_EQ(GridText(3, 2), "M0001");
  EXPECT_EQ(G.Monsters[1].HP, 10);
  EXPECT_EQ(DeadGridAt(3, 2), 0);
  EXPECT_EQ(ItemGridAt(5, 3), 0);
  EXPECT_EQ(G.GroundItemCount, 0);
  EXPECT_EQ(G.GroundItems[1].Name, "");
  EXPECT_EQ(GridText(5, 5), "");
  EXPECT_EQ(G.MonsterCount, 3);
}

TEST_F(PartChangeTest, APartWithoutSpawnsHasNoMonsters) {
  ChangeMap(2);
  ChangeMap(1);
  EXPECT_EQ(G.MonsterCount, 0);
  for (int x = 1; x <= 3; ++x)
    for (int y = 1; y <= 3; ++y) EXPECT_EQ(GridText(x, y), "");
  EXPECT_EQ(GridText(3, 4), "1");  // (3, 4) lies outside the 3 x 3 part
}

TEST_F(PartChangeTest, ShowsThePartsMinimapOrNone) {
  fs::create_directories(dir.path() / "map");
  ASSERT_TRUE(plat::WriteAllBytes(dir.path() / "map" / "0102.dat", std::vector<std::uint8_t>{'B', 'M'}));
  ChangeMap(2);
  plat::Control* image = ui::Form1.Iminimap;
  EXPECT_EQ(fs::path(image->Picture), plat::ResolvePath("map\\0102.dat"));
  EXPECT_TRUE(fs::exists(image->Picture));
  // The picture covers 75 twips (5 pixels) per cell, as far as the minimap scrolls.
  EXPECT_EQ(image->Width, 6 * 75);
  EXPECT_EQ(image->Height, 5 * 75);
  ChangeMap(1);
  EXPECT_EQ(image->Picture, "");
}

TEST_F(PartChangeTest, RunsThePartScriptSilently) {
  G.PartScripts[2] = "; 进来的人都记一笔\r\n#CHANGE ET5 + 2\r\n#MOB 羊 2 3\r\n#IF ET5 = 1\r\n#MOB 鸡 2 4\r\n#ENDIF\r\n";
  ui::Form1.Pspt->Visible = false;
  ChangeMap(2);
  EXPECT_EQ(G.Et[5], 2);
  EXPECT_FALSE(ui::Form1.Pspt->Visible);
  // The script's monster comes after the part's own three.
  EXPECT_EQ(G.MonsterCount, 4);
  EXPECT_EQ(GridText(2, 3), "M0004");
  EXPECT_EQ(G.Monsters[4].Kind, 2);
  EXPECT_EQ(GridText(2, 4), "");
  // Each entry runs it again.
  ChangeMap(2);
  EXPECT_EQ(G.Et[5], 4);
  EXPECT_EQ(G.MonsterCount, 4);
}

TEST_F(PartChangeTest, APartScriptMayMoveThePlayerOn) {
  G.PartScripts[1] = "#MOVE 0102 4 3\r\n#CHANGE ET6 = 9\r\n";
  G.PartScripts[2] = "#CHANGE ET7 + 1\r\n";
  ChangeMap(1);
  EXPECT_EQ(G.SubMap, 2);
  EXPECT_EQ(G.ViewX, 4 - 8);
  EXPECT_EQ(G.ViewY, 3 - 8);
  EXPECT_EQ(G.Et[7], 1);
  EXPECT_EQ(G.Et[6], 0);  // the move ends the script that made it
  EXPECT_EQ(GridText(3, 2), "M0001");
}

TEST_F(PartChangeTest, APartTheMapDoesNotHaveEndsTheProgram) {
  for (int part : {0, 3, 31, -1}) {
    SCOPED_TRACE(part);
    dialogs.dialogs.shown.clear();
    EXPECT_THROW(ChangeMap(part), plat::ProgramEnded);
    ASSERT_EQ(dialogs.dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.dialogs.shown[0].text, "文件缺失，程序不能进行");
  }
}

}  // namespace
