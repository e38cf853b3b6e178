// The sound effects of the sample game folder: short synthesized wave files in "Sound",
// one for every sound name the game plays ("Sound\" + name + ".wav") and four for every
// monster sound stem of the monster tables (stem + "-1.wav" idle call, "-2.wav" attack,
// "-3.wav" hit, "-4.wav" death).
//
// Every file is RIFF/WAVE PCM, 16-bit, mono, 22050 Hz, between 0.05 and 0.5 seconds.
// The synthesis is seeded from the sound's name, so every run writes the same bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tools {

inline constexpr int kSoundRate = 22050;

// The names (without folder and extension) of the sounds the game itself plays.
const std::vector<std::string>& GameSoundNames();

// The distinct monster sound stems (column Wav) of data/tables/mon1..3.tsv, in the order
// they first appear. Throws SourceError for a table that cannot be read.
std::vector<std::string> MonsterSoundStems(const std::filesystem::path& dataDir);

// Samples in -1..1 as a RIFF/WAVE file: PCM, 16-bit, mono, `rate` samples a second.
// Samples outside -1..1 are clipped.
std::vector<std::uint8_t> EncodeWave(const std::vector<float>& samples, int rate = kSoundRate);

// The samples of one sound: the game's own sounds by name, monster sounds by stem and
// event (1 idle call, 2 attack, 3 hit, 4 death; event 0 means a game sound).
std::vector<float> SynthesizeSound(const std::string& name, int monsterEvent = 0);

// Writes "Sound\<name>.wav" for every game sound and "Sound\<stem>-1.wav" .. "-4.wav" for
// every monster stem into `gameDir`, replacing what is there. Throws SourceError for a bad
// monster table and std::runtime_error when a file cannot be written.
void WriteSounds(const std::filesystem::path& dataDir, const std::filesystem::path& gameDir);

}  // namespace tools
