// The monsters of the current part: once a frame every monster near the view runs its
// upkeep (cold wind, poison, freezing, the start of its death, sight, wandering, the
// reaction to a skill's hit) and then its action: standing, stepping, chasing,
// attacking, resting, reeling or dying. Its strikes on the player are resolved here.
#pragma once

#include <cstdint>

#include "common/game_state.h"

// Runs every monster standing on the cells around the view (offsets -3..17 from the view
// origin in both directions) one frame. Called once per unpaused frame by the game loop.
// Monsters further away keep their state until the view comes near.
void UpdateMonsters();

// Moves monster n's sprite one step (6 pixels across, 4 up or down) toward its cell
// along its facing. A facing outside 0..7, or an index outside 1..300, changes nothing.
void StepMonsterPixel(std::int32_t n);

// Monster n strikes the player from offset (i, j) of the view origin (the player stands
// at (8, 8)): dodge, damage against the player's defence (magic defence for a ranged
// kind), the poison, life-steal and paralysis rolls, at least 1 point of damage, the
// mana shield of a ring worn in slot 8 or 9, and the damage text. The attack state
// calls it at the third step of the swing. Nothing for an unknown monster or kind.
void MonsterStrike(std::int32_t n, std::int32_t i, std::int32_t j);

// The kind of monster n, or nullptr when n is outside 1..300 or its Kind names no row
// of MonsterKinds.
const MonsterKind* MonsterKindOf(std::int32_t n);
