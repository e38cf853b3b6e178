// The files of the game folder that belong to the player once they exist: the option
// file, the low-memory switch and the save folder. They are made only when missing.
#pragma once

#include <filesystem>

namespace tools {

// "Config.cfg": sound effects and damage numbers on, every other option off.
inline constexpr const char* kDefaultConfig = "1,0,0,0,1,0,0,0\r\n";
// "DisplayMemory.cfg": 1 leaves the low-memory texture mode off.
inline constexpr const char* kDefaultDisplayMemory = "1\r\n";

// Writes "Config.cfg" and "DisplayMemory.cfg" where they are missing and makes the
// folder "Save" where it is missing; existing files and saves are never touched.
// Throws std::runtime_error when a file or folder cannot be made.
void WritePlayerFilesIfMissing(const std::filesystem::path& gameDir);

}  // namespace tools
