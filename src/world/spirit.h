#pragma once

// Moves the summoned companion one frame. Called once per unpaused frame by the game loop.
void UpdateSpirit();
