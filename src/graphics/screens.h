// The full-screen pictures shown outside the frame drawing: the two start-up logos,
// the story picture at a character's first game, and the game's ending.
#pragma once

#include <cstdint>

#include "platform/render.h"

// One frame of a fade: the game screen cleared to grey g (0..255) and the texture drawn
// whole at (x, y) in the colour (g, g, g), then shown.
void FadeFrame(plat::Texture tex, float x, float y, std::uint8_t g);

// Pictures 5 and 6 of "\date\Game" in turn: each fades in from black, waits for Enter,
// Space or a mouse button, and fades out.
void ShowLogo();

// Picture 1 of "\date\Game" with the frame panels and the minimap hidden, until a key.
void ShowIntroPicture();

// The game's completion: clears the quest flags but the unlock, raises the unlock,
// puts the character back at the start with full HP and MP, saves, shows pictures 2, 3
// and 4 of "\date\Game" each until a key, and ends the program.
[[noreturn]] void GameEnding();

// The ending's change of the character, before it is saved (for the ending and tests).
void ResetCharacterForNextGame();
