// Game paths. The game writes paths Windows-style ("\date\Game", "Sound\钱.wav") and
// mixes the case of folder names ("date" and "Date"). A game path resolves against
// the program folder (when it starts with a backslash) or the working folder (when it
// does not), with '\' or '/' as separator, each name matched without regard to ASCII
// case when the exact name does not exist.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace plat {

namespace fs = std::filesystem;

// The program folder: the executable's folder in the real program; tests set their own.
void SetProgramFolder(const fs::path& folder);
const fs::path& ProgramFolder();
// The folder of the running executable (from /proc/self/exe).
fs::path ExecutableFolder();

// Resolves a game path. "\Save\A.kzs" lies under the program folder; "Sound\x.wav"
// under the working folder; an absolute POSIX path is taken as it is (its names are
// still matched without case). Names that do not exist yet keep their spelling, so
// the result can be used to create a file.
fs::path ResolvePath(std::string_view gamePath);
// Resolves a game path relative to the given base folder.
fs::path ResolvePathIn(const fs::path& base, std::string_view gamePath);

}  // namespace plat
