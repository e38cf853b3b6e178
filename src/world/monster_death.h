// A monster's death: the moment its hit points reach 0 it pays its experience, raises
// its kind's story flag and lets the character gain levels; then it falls, drops its
// loot around its body and stays as a corpse.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/game_state.h"

// The death start of monster n (1..300): the monster enters its dying state (tick 1,
// step 1) and drops a cast lock on it; below level 120 the player gains the kind's
// experience; a kind with a story flag (1..40) sets and saves it, and four flags (30,
// 33, 38, 39) pause the game under their story text in the dialogue panel; then one
// level is gained for every level threshold the experience reaches while the character
// lives, each with its animation, message and save. The status labels are redrawn at
// the end. The monster update calls it when a monster's hit points are 0.
void StartMonsterDeath(std::int32_t n);

// The dying monster n on cell (x, y), one frame: the fall (a sprite step every fourth
// frame, steps 1 to 10), the death cry at the fourth step, the drops at the fifth, and
// at the 39th frame the corpse: the cell is free again and DeadGrid names the monster.
// True when the drops have just been laid, which ends this frame's monster scan.
bool UpdateDyingMonster(std::int32_t n, std::int32_t x, std::int32_t y);

// One death's drops before they are laid: at most 30 names.
constexpr int kMaxPendingDrops = 30;
struct PendingDrops {
  std::array<std::string, kMaxPendingDrops + 1> Names;  // 1..Count
  std::int32_t Count = 0;
};

// Rolls the kind's drop list (one chance in N each, N = 0 always) and then its potions
// by its hit points (1..80 small, 81..150 medium, above 200 large; a hit-point potion
// and a magic potion, each rolled on its own). Entries whose chance is not a whole
// number of at least 0 drop nothing; beyond 30 names the rest are rolled but not kept.
void RollMonsterDrops(const MonsterKind& kind, PendingDrops& drops);

// Lays the pending drops on the borders of square rings 1 to 10 around (x, y), x outer
// and y inner. A cell takes an item when it lies inside the part short of its last column
// and row, has no scenery object, no ground item and a cell kind that begins with
// neither "N" nor "0"; other cells are passed over. A name that builds no item leaves
// its cell to the next name. True when placing ended on looking at a further cell with
// every name used (the monster scan then ends); false when the rings ran out of cells
// first (the rest are lost) or the last name took the very last cell of ring 10.
bool PlaceMonsterDrops(std::int32_t x, std::int32_t y, PendingDrops& drops);
