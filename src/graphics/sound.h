// The game's two sound players. Neither tests the sound option: the callers do.
#pragma once

#include <string_view>

// Plays a wave file (a path relative to the working folder, "Sound\" + name + ".wav")
// on the next of the nine rotating channels "0".."8" (SoundAliasCount is the highest,
// SoundAlias the one used last): the channel is closed, the file opened on it and,
// only when that worked, played. A tenth sound cuts off the oldest of nine.
void PlaySoundMci(std::string_view file);

// Plays a wave file on the one-at-a-time player, cutting off the sound it still plays.
// A missing file is silent.
void PlayWav(std::string_view file);
