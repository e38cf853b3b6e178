// The player's frame: upkeep (regeneration, the potion pools, the cheat locks, poison,
// paralysis, invisibility), the input while standing, and the action in progress
// (walking, running, melee swings, casts, the hit and death animations), with the
// portals at the end of a step and the death itself.
#pragma once

#include <cstdint>

// Runs the player one frame: upkeep, input while standing and the action in progress.
// Called once per unpaused frame by the game loop.
void UpdatePlayer();

// The footstep sound of the floor tile under the player (grass, brick, marsh, water or
// plain ground).
void PlayFootstep();

// Adds points to the pools that flow into HP and MP one point per 31 ms. A pool never
// goes beyond the 32-bit range nor below 0.
void AddHpPool(std::int64_t points);
void AddMpPool(std::int64_t points);

// The swing period in frames: a swing step every 11 - DcSpeed frames, at least every frame (worn
// items may carry DcSpeed past 10; the stat itself is kept as it is).
std::int64_t SwingPeriod();
