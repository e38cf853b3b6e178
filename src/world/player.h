#pragma once

// Runs the player one frame: upkeep, input while standing and the action in progress. Called once per unpaused frame by the game loop.
void UpdatePlayer();
