#pragma once

// Runs every monster of the current part one frame. Called once per unpaused frame by the game loop.
void UpdateMonsters();
