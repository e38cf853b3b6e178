// A monster's death: the moment its hit points reach 0 it pays its experience, raises
// its kind's story flag and lets the character gain levels.
#pragma once

#include <cstdint>

// The death start of monster n (1..300): the monster enters its dying state (tick 1,
// step 1) and drops a cast lock on it; below level 120 the player gains the kind's
// experience; a kind with a story flag (1..40) sets and saves it, and four flags (30,
// 33, 38, 39) pause the game under their story text in the dialogue panel; then one
// level is gained for every level threshold the experience reaches while the character
// lives, each with its animation, message and save. The status labels are redrawn at
// the end. The monster update calls it when a monster's hit points are 0.
void StartMonsterDeath(std::int32_t n);
