// Moving the player: keys and pointer to a facing and a walk or run, the grid test
// ahead, the cell and pixel steps, and the floor's draw range.
#include <gtest/gtest.h>

#include <string>

#include "common/game_state.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "window/form1.h"
#include "world/movement.h"

namespace {

constexpr int kW = 87, kA = 65, kS = 83, kD = 68;

class MovementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    G = GameState{};
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    ui::BuildMainWindow();
    G.SubMap = 1;
    SetPartSize(1, 60, 60);
    G.ViewX = 20;  // the player stands on (28, 28)
    G.ViewY = 20;
    G.Player.ActState = ActionState::Stand;
    G.Player.Direction = DirSouth;
    G.Player.ActCounter = 17;
    G.Player.ActStep = 3;
  }
  void TearDown() override {
    plat::ResetKeyStates();
    plat::Application::Get().Reset();
    G = GameState{};
  }

  // Points at view cell (x, y) and asks for a move.
  static void Point(int x, int y) {
    G.Player.ActState = ActionState::Stand;
    G.MouseCellX = x;
    G.MouseCellY = y;
    MoveByMouse();
  }
  static void Keys(std::initializer_list<int> held) {
    plat::ResetKeyStates();
    for (int k : held) plat::SetKeyHeld(k, true);
    G.Player.ActState = ActionState::Stand;
    MoveByKeyboard();
  }
  // Blocks the cell `steps` cells from the player by (dx, dy).
  static void BlockAt(int dx, int dy, const std::string& text = "1") {
    SetGridText(PlayerCellX() + dx, PlayerCellY() + dy, text);
  }
};

TEST_F(MovementTest, KeysGiveTheirFacingAndAlwaysRun) {
  struct Case {
    std::initializer_list<int> keys;
    int dir;
  };
  const Case cases[] = {
      {{kW}, 0},          {{kW, kD}, 1}, {{kD}, 2},     {{kS, kD}, 3},         {{kS}, 4},
      {{kS, kA}, 5},      {{kA}, 6},     {{kW, kA}, 7},
      {{kW, kS}, 0},      // north wins over south
      {{kA, kD}, 6},      // west wins over east
      {{kW, kA, kS, kD}, 7},
  };
  for (const Case& c : cases) {
    G.Player.ActCounter = 9;
    Keys(c.keys);
    EXPECT_EQ(G.Player.Direction, c.dir);
    EXPECT_EQ(G.Player.ActState, ActionState::Run);
    EXPECT_EQ(G.Player.ActCounter, 0);
    EXPECT_EQ(G.Player.ActStep, 0);
  }
}

TEST_F(MovementTest, NoKeyLeavesEverythingAlone) {
  Keys({});
  EXPECT_EQ(G.Player.Direction, DirSouth);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.Player.ActCounter, 17);
  EXPECT_EQ(G.Player.ActStep, 3);
}

TEST_F(MovementTest, PointerGivesTheFacingOfItsBand) {
  struct Case {
    int x, y, dir;
  };
  const Case cases[] = {
      {7, 0, 0},   {6, 2, 0},  {8, 3, 0},   // the north band, three columns wide
      {6, 4, 7},   {8, 4, 1},               // below row 4 the band narrows to column 7
      {7, 13, 4},  {6, 11, 4}, {8, 12, 4},  // the south band
      {6, 10, 5},  {8, 9, 3},
      {0, 7, 6},   {5, 6, 6},  {5, 8, 6},   // the west band
      {14, 7, 2},  {10, 6, 2}, {10, 8, 2},  // the east band
      {9, 6, 1},   {9, 8, 3},               // column 9 is still diagonal
      {0, 0, 7},   {14, 0, 1}, {14, 13, 3}, {0, 13, 5},
      {6, 6, 7},   {8, 6, 1},  {6, 8, 5},   {8, 8, 3},  {7, 6, 0}, {7, 8, 4}, {6, 7, 6}, {8, 7, 2},
  };
  for (const Case& c : cases) {
    Point(c.x, c.y);
    EXPECT_EQ(G.Player.Direction, c.dir) << "pointer at (" << c.x << ", " << c.y << ")";
  }
}

TEST_F(MovementTest, PointerNearTheRingWalksFartherRuns) {
  Point(8, 8);
  EXPECT_EQ(G.Player.ActState, ActionState::Walk);
  Point(6, 6);
  EXPECT_EQ(G.Player.ActState, ActionState::Walk);
  Point(9, 7);
  EXPECT_EQ(G.Player.ActState, ActionState::Run);
  Point(7, 5);
  EXPECT_EQ(G.Player.ActState, ActionState::Run);
  EXPECT_EQ(G.Player.ActCounter, 0);
  EXPECT_EQ(G.Player.ActStep, 0);
}

TEST_F(MovementTest, PointerOnThePlayerDoesNothing) {
  Point(7, 7);
  EXPECT_EQ(G.Player.Direction, DirSouth);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.Player.ActCounter, 17);
}

TEST_F(MovementTest, ShiftOnlyTurns) {
  plat::SetKeyHeld(plat::vk::Shift, true);
  Point(12, 7);
  EXPECT_EQ(G.Player.Direction, DirEast);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.Player.ActCounter, 0);
  // A move already chosen this frame (by the keys) keeps its state and is tested.
  G.Player.ActState = ActionState::Run;
  BlockAt(1, 0);
  G.MouseCellX = 12;
  MoveByMouse();
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
}

TEST_F(MovementTest, CursorOutsideTheViewIsHeldAtItsEdge) {
  G.MouseCellX = 40;
  G.MouseCellY = -3;
  G.Player.ActState = ActionState::Stand;
  MoveByMouse();
  EXPECT_EQ(G.MouseCellX, 14);
  EXPECT_EQ(G.MouseCellY, 0);
  EXPECT_EQ(G.Player.Direction, DirNorthEast);
  G.MouseCellX = -1;
  G.MouseCellY = 99;
  KeepCursorInView();
  EXPECT_EQ(G.MouseCellX, 0);
  EXPECT_EQ(G.MouseCellY, 13);
}

TEST_F(MovementTest, BlockedCellsShortenOrCancelTheMove) {
  // A run with the second cell blocked becomes a walk of one cell.
  BlockAt(2, 0);
  Point(12, 7);
  EXPECT_EQ(G.Player.ActState, ActionState::Walk);
  // With the first cell blocked the player stands, facing the new way.
  BlockAt(1, 0, "M0007");
  Point(12, 7);
  EXPECT_EQ(G.Player.Direction, DirEast);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  // A walk into a monster stands as well.
  Point(8, 7);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  // Keys are tested the same way.
  BlockAt(0, -1);
  Keys({kW});
  EXPECT_EQ(G.Player.Direction, DirNorth);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
}

TEST_F(MovementTest, OnlyWallsAndMonstersBlock) {
  BlockAt(1, 0, "0");
  BlockAt(2, 0, "N村长1001");
  Point(12, 7);
  EXPECT_EQ(G.Player.ActState, ActionState::Run);
  BlockAt(2, 0, "10");
  Point(12, 7);
  EXPECT_EQ(G.Player.ActState, ActionState::Run);
  BlockAt(2, 0, "Mx");  // any text starting with "M" is a monster
  Point(12, 7);
  EXPECT_EQ(G.Player.ActState, ActionState::Walk);
}

TEST_F(MovementTest, ADiagonalStepPassesBetweenTwoWalls) {
  BlockAt(1, 0);
  BlockAt(0, -1);
  Point(12, 2);
  EXPECT_EQ(G.Player.Direction, DirNorthEast);
  EXPECT_EQ(G.Player.ActState, ActionState::Run);
}

TEST_F(MovementTest, PartEdgesBlock) {
  // The player on the part's first column: the cell to the west lies outside.
  G.ViewX = -7;  // player on column 1
  Keys({kA});
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  // One cell from the far edge: a run shrinks to a walk.
  G.ViewX = 60 - 9;  // player on column 59 of 60
  Keys({kD});
  EXPECT_EQ(G.Player.ActState, ActionState::Walk);
  G.ViewX = 60 - 8;  // on the last column
  Keys({kD});
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  G.ViewX = 20;
  G.ViewY = 60 - 8;  // on the last row
  Keys({kS});
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
}

TEST_F(MovementTest, NothingMovesWhileTheDialogueIsOpen) {
  ui::Form1.Pspt->Visible = true;
  Keys({kD});
  EXPECT_EQ(G.Player.Direction, DirSouth);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  Point(12, 7);
  EXPECT_EQ(G.Player.Direction, DirSouth);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.Player.ActCounter, 17);
}

TEST_F(MovementTest, CellStepsCarryTheScrollLeft) {
  G.Player.Direction = DirSouthEast;
  StepPlayerTile();
  EXPECT_EQ(G.ViewX, 21);
  EXPECT_EQ(G.ViewY, 21);
  EXPECT_EQ(G.ScrollX, 48);
  EXPECT_EQ(G.ScrollY, 32);
  StepPlayerWalk();
  EXPECT_EQ(G.ScrollX, 45);
  EXPECT_EQ(G.ScrollY, 30);
  StepPlayerRun();
  EXPECT_EQ(G.ScrollX, 39);
  EXPECT_EQ(G.ScrollY, 26);
  StepPlayerTile();  // a second cell while the first still scrolls
  EXPECT_EQ(G.ScrollX, 87);
  EXPECT_EQ(G.ScrollY, 58);
  G.Player.Direction = DirWest;
  StepPlayerTile();
  EXPECT_EQ(G.ViewX, 21);
  EXPECT_EQ(G.ViewY, 22);
  EXPECT_EQ(G.ScrollX, 39);
  StepPlayerWalk();
  EXPECT_EQ(G.ScrollX, 42);
  EXPECT_EQ(G.ScrollY, 58);
}

TEST_F(MovementTest, DrawRangeAddsTheSideTheCellsComeFrom) {
  struct Range {
    int colFirst, colLast, rowFirst, rowLast;
  };
  const Range ranges[8] = {{0, 14, 0, 14}, {-1, 14, 0, 14}, {-1, 14, 0, 13}, {-1, 14, -1, 13},
                           {0, 14, -1, 13}, {0, 15, -1, 13}, {0, 15, 0, 13},  {0, 15, 0, 14}};
  for (int d = 0; d < 8; ++d) {
    G.Player.Direction = d;
    SetFloorDrawRange();
    EXPECT_EQ(G.DrawColFirst, ranges[d].colFirst) << d;
    EXPECT_EQ(G.DrawColLast, ranges[d].colLast) << d;
    EXPECT_EQ(G.DrawRowFirst, ranges[d].rowFirst) << d;
    EXPECT_EQ(G.DrawRowLast, ranges[d].rowLast) << d;
  }
  // A facing out of range leaves the range as it was.
  G.Player.Direction = 9;
  SetFloorDrawRange();
  EXPECT_EQ(G.DrawColFirst, 0);
  EXPECT_EQ(G.DrawRowLast, 14);
}

}  // namespace
