#pragma once

// Draws one complete frame of the game screen. Called once per unpaused frame by the
// game loop.
void DrawScene();
