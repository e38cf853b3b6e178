// The map loader: reads every part of one map into the map state. The parts travel in
// the archive "Ham.dll" of the game folder; each load extracts them afresh into the
// folder "map" and reads the extracted copies, which stay there.
//
// Files (game folder):
//   map\<N>.Mxx     the part count P (1..30) of map N (plain decimal, no leading zeros)
//   Ham.dll         zip archive with the parts "<MM><PP>.map" (two digits at least each)
//   map\<MMPP>.dat  the minimap picture of a part (shown by the part change, not read here)
//
// A part file is a sequence of free-format items: the part name, the width W and the
// height H (1..200), then W x H x 4 cell fields (x outer, y inner, fields 1..4), then up
// to 999 script lines up to the end of the file.
#pragma once

#include <cstdint>
#include <string>

// Loads map `map`: hides the frame panels, the minimap and the character window,
// shows the loading screen, empties the map arrays and the per-map texture sets, then
// reads every part (name, size, cells, occupancy template, monster spawns resolved by
// name against MonsterKinds, script) and shows the frame panels and the minimap again.
// Any file that is missing or cannot be read, and any data beyond the arrays (more
// than 30 parts, a part wider or higher than 200, more than 300 spawns in a part),
// shows "文件缺失，程序不能进行" and ends the program through EndGame.
void LoadMap(std::int32_t map);

// The file name of a part inside the archive and in the folder "map": map and part
// each written with at least two digits, then ".map" (map 5 part 12: "0512.map").
std::string MapPartFileName(std::int32_t map, std::int32_t part);
// The part-count file of a map, relative to the folder "map": "<map>.Mxx".
std::string MapIndexFileName(std::int32_t map);
// The minimap picture of a part, relative to the folder "map": "<MM><PP>.dat".
std::string MinimapFileName(std::int32_t map, std::int32_t part);
