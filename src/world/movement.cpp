#include "world/movement.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "common/game_state.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "window/form1.h"

namespace {

constexpr int kKeyW = 87, kKeyA = 65, kKeyS = 83, kKeyD = 68;

// The player's own view cell.
constexpr std::int32_t kPlayerCol = 7, kPlayerRow = 7;

// Pixels of one cell, and the scroll steps of a walk and of a run.
constexpr std::int32_t kCellW = 48, kCellH = 32;
constexpr std::int32_t kWalkStepX = 3, kWalkStepY = 2;
constexpr std::int32_t kRunStepX = 6, kRunStepY = 4;

bool KeyHeld(int vk) { return plat::GetKeyState(vk) < 0; }

// While the dialogue panel is open the player cannot move.
bool DialogueOpen() { return ui::Form1.Pspt != nullptr && ui::Form1.Pspt->Visible; }

// The cell `steps` cells ahead of the player in the facing.
bool BlockedAhead(std::int32_t steps) {
  const CellOffset d = DirectionOffset(G.Player.Direction);
  return GridBlocked(PlayerCellX() + steps * d.dx, PlayerCellY() + steps * d.dy);
}

void StartMove() {
  CheckMoveBlocked();
  G.Player.ActCounter = 0;
  G.Player.ActStep = 0;
}

struct DrawRange {
  std::int32_t colFirst, colLast, rowFirst, rowLast;
};
// By facing 0..7: one more column or row on the side the new cells scroll in from.
constexpr std::array<DrawRange, 8> kDrawRanges{{
    {0, 14, 0, 14},
    {-1, 14, 0, 14},
    {-1, 14, 0, 13},
    {-1, 14, -1, 13},
    {0, 14, -1, 13},
    {0, 15, -1, 13},
    {0, 15, 0, 13},
    {0, 15, 0, 14},
}};

}  // namespace

void KeepCursorInView() {
  G.MouseCellX = std::clamp(G.MouseCellX, 0, kViewCols - 1);
  G.MouseCellY = std::clamp(G.MouseCellY, 0, kViewRows - 1);
}

void MoveByKeyboard() {
  if (DialogueOpen()) return;
  const bool w = KeyHeld(kKeyW), a = KeyHeld(kKeyA), s = KeyHeld(kKeyS), d = KeyHeld(kKeyD);
  std::int32_t dir = 0;
  if (w && a) dir = DirNorthWest;
  else if (w && d) dir = DirNorthEast;
  else if (w) dir = DirNorth;
  else if (s && a) dir = DirSouthWest;
  else if (s && d) dir = DirSouthEast;
  else if (s) dir = DirSouth;
  else if (a) dir = DirWest;
  else if (d) dir = DirEast;
  else return;
  G.Player.Direction = dir;
  G.Player.ActState = ActionState::Run;  // the keyboard always runs
  StartMove();
}

void MoveByMouse() {
  if (DialogueOpen()) return;
  KeepCursorInView();
  const std::int32_t x = G.MouseCellX;
  const std::int32_t y = G.MouseCellY;
  if (x == kPlayerCol && y == kPlayerRow) return;

  // Each later rule overrides the earlier ones: the diagonals first, then the straight
  // bands three cells wide.
  std::int32_t d = DirNorth;
  if (x < 7) {
    if (y < 7) d = DirNorthWest;
    if (y > 7) d = DirSouthWest;
  }
  if (x > 7) {
    if (y < 7) d = DirNorthEast;
    if (y > 7) d = DirSouthEast;
  }
  if (x == 7 && y < 7) d = DirNorth;
  if (x >= 6 && x <= 8 && y < 4) d = DirNorth;
  if (x == 7 && y > 7) d = DirSouth;
  if (x >= 6 && x <= 8 && y >= 11) d = DirSouth;
  if (y == 7 && x < 7) d = DirWest;
  if (y >= 6 && y <= 8 && x < 6) d = DirWest;
  if (y == 7 && x > 7) d = DirEast;
  if (y >= 6 && y <= 8 && x > 9) d = DirEast;
  G.Player.Direction = d;

  if (!KeyHeld(plat::vk::Shift)) {
    const bool outsideRing = x < 6 || y < 6 || x >= 9 || y >= 9;
    G.Player.ActState = outsideRing ? ActionState::Run : ActionState::Walk;
  }
  StartMove();
}

void CheckMoveBlocked() {
  PlayerRecord& p = G.Player;
  if (p.ActState == ActionState::Run) {
    if (BlockedAhead(1)) p.ActState = ActionState::Stand;
    else if (BlockedAhead(2)) p.ActState = ActionState::Walk;  // the run shrinks to one cell
  }
  if (p.ActState == ActionState::Walk && BlockedAhead(1)) p.ActState = ActionState::Stand;
}

void StepPlayerTile() {
  const CellOffset d = DirectionOffset(G.Player.Direction);
  G.ViewX += d.dx;
  G.ViewY += d.dy;
  // Added, not set: the second cell of a run carries the pixels still left of the first.
  G.ScrollX += kCellW * d.dx;
  G.ScrollY += kCellH * d.dy;
}

void StepPlayerWalk() {
  const CellOffset d = DirectionOffset(G.Player.Direction);
  G.ScrollX -= kWalkStepX * d.dx;
  G.ScrollY -= kWalkStepY * d.dy;
}

void StepPlayerRun() {
  const CellOffset d = DirectionOffset(G.Player.Direction);
  G.ScrollX -= kRunStepX * d.dx;
  G.ScrollY -= kRunStepY * d.dy;
}

void SetFloorDrawRange() {
  const std::int32_t dir = G.Player.Direction;
  if (dir < 0 || dir > 7) return;
  const DrawRange& r = kDrawRanges[static_cast<std::size_t>(dir)];
  G.DrawColFirst = r.colFirst;
  G.DrawColLast = r.colLast;
  G.DrawRowFirst = r.rowFirst;
  G.DrawRowLast = r.rowLast;
}
