// The fixed-frame game loop, the wait for a key under full-screen pictures, and the
// on-screen system messages.
#pragma once

#include <cstdint>
#include <string_view>

// Runs the frames while GameRunning is set: companion, monsters, player, message
// lifetimes and the scene, then the window's events and the rest of the 31 ms frame.
// A paused pass draws no scene but shows the window once after its events, and waits
// out its 31 ms like a drawn one. Ends the
// program through EndGame when the loop is left.
void GameLoop();

// The hide key's work: pauses the game and minimises the window (a hidden window could
// not hear the key again). The press that hid it does not count as a press to resume.
void HideGameWindow();

// Pumps the window's events until Enter, Space, the left or the right mouse button is
// held, or was pressed during the wait (also when released again within one pump);
// returns after one pump when one already is held. Rests 5 ms between pumps.
void WaitAnyKey();

// Puts the text in the first free of the 20 message lines with a life of 130 frames;
// with every line in use the message is lost.
void AddSysMessage(std::string_view text, std::int32_t r, std::int32_t g, std::int32_t b);

// Ages the message lines by one frame; a line that reaches the end of its life is
// removed and the lines below move up.
void TickSysMessages();
