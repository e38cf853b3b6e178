// The frame offsets of the worn look: the weapon drawn from Items(1).Pic2 and the body
// from Items(5).Pic2, each a ".zb" table of 280 (x, y) pairs.
#pragma once

#include <array>
#include <string_view>

#include "graphics/resources.h"

// Offsets of one 280-frame set, frames 1..280 (index 0 unused).
using LookOffsetTable = std::array<FrameOffset, kPlayerFrameLast + 1>;

// The offset tables of the weapon and the body being drawn (WeaponNo and BodyNo).
struct LookFrameTables {
  LookOffsetTable WeaponZb{};
  LookOffsetTable BodyZb{};
};
extern LookFrameTables Looks;

// Reads a ".zb" table of 280 pairs (a game path such as "\date\Rpg\3.zb"). A missing
// or short table, or one with an item that is not a 16-bit whole number, shows
// "文件缺失，程序不能进行" with the file's name and ends the program through EndGame.
void ReadLookTable(std::string_view gamePath, LookOffsetTable& table);

// Brings WeaponNo and BodyNo in line with the worn weapon and armour: a changed weapon
// look above 0 releases the weapon textures and reads its table; a changed body look,
// or any body look while no game runs yet (GAMELEVEL 0), releases the body textures and
// reads its table.
void LoadLookFrames();
