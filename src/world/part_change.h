// The part change: makes one part of the loaded map the current part.
#pragma once

#include <cstdint>

// Enters part `part` (1..30) of the loaded map afresh: hides the character window,
// shows the part's minimap picture "map\<MM><PP>.dat" (or none), empties the ground
// items and corpses, copies the part's occupancy template into Grid, re-creates the
// part's monsters from MonsterSpawns and runs the part script silently. The caller has
// set the view origin. A part that the loaded map does not have shows
// "文件缺失，程序不能进行" and ends the program.
void ChangeMap(std::int32_t part);
