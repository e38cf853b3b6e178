// The summoned companion: it follows the player freely (nothing blocks it), heals the
// player at level 3, poisons monsters in view and, from level 2, calls lightning down on
// monsters already poisoned. Summoning, dismissal by key and the magic-point upkeep are
// the main window's; running out of magic points dismisses it here.
#pragma once

// Moves the summoned companion one frame. Called once per unpaused frame by the game loop.
// With no magic point left the spirit is dismissed; while the player is dead or out of
// magic points it stays frozen where it is.
void UpdateSpirit();

// Moves the spirit's sprite offset one step toward its cell by its facing: 6 pixels
// across, 4 pixels up or down. A facing outside 0..7 changes nothing.
void StepSpiritPixel();
