// The maps of the sample game folder, built from the part sources in data/maps/:
//
//   Ham.dll          zip archive holding every part file "<MM><PP>.map"
//   map/<n>.Mxx      the part count of map n
//   map/<MM><PP>.map the extracted copy of every part (the game deletes and re-extracts it)
//   map/<MM><PP>.dat the minimap picture of every part, 5 x 5 pixels per cell
//
// A part source "data/maps/<MM><PP>.txt" is plain text, line by line:
//
//   ; a comment (anywhere before "script")
//   name 无名村                        the part name
//   legend <c> <floor> <object> <kind>  what the character c stands for in the rows;
//                                       "-" is an empty field
//   rows                                the cells: one line per row y = 1, 2, ...,
//   <line of W characters>              one character per column x = 1, 2, ...; every
//   ...                                 row as long as the first; the rows end at an
//                                       empty line or a line holding a blank
//   cell <x> <y> <floor> <object> <kind>   one cell's fields 1 to 3 ("-" empty, "="
//                                          keeps what the rows gave)
//   object <x> <y> <object>                a scenery object (set digit and picture number,
//                                          "20001") with its top-left corner on (x, y),
//                                          cell by cell in its pieces: the cells it stands
//                                          on become "0-", the rest of its bottom row "1"
//                                          ("0-" where the cell blocked), the rows above ""
//                                          ("0" where the cell blocked)
//   npc <x> <y> <name> <pose> <picture>    an NPC: kind "N" name pose picture (3 digits)
//   hiddennpc <x> <y> <name> <pose> <picture>   the same, hidden until a script shows it
//   spawn <x> <y> <monster>                a spawn point: kind "M" monster
//   portal <x> <y> <map> <part> <tx> <ty>  field 4 "MMPPXXXXYYYY"
//   script                              every line after it, as it stands, is a line of
//                                       the part script
//
// The maps are numbered by the sources' names; the parts of a map must run 1, 2, ...
// without a gap.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace tools {

// One part as the game reads it.
struct MapPartSource {
  std::string file;  // the source it came from, for messages
  int map = 0;
  int part = 0;
  std::string name;
  int width = 0;
  int height = 0;
  // Fields 1..4 of every cell (element 0 unused), x outer, y inner: cell (x, y) is
  // cells[(x - 1) * height + (y - 1)].
  std::vector<std::array<std::string, 5>> cells;
  std::vector<std::string> script;

  std::array<std::string, 5>& Cell(int x, int y) {
    return cells[static_cast<std::size_t>(x - 1) * static_cast<std::size_t>(height) + static_cast<std::size_t>(y - 1)];
  }
  const std::array<std::string, 5>& Cell(int x, int y) const {
    return cells[static_cast<std::size_t>(x - 1) * static_cast<std::size_t>(height) + static_cast<std::size_t>(y - 1)];
  }
};

struct MapSource {
  int number = 0;
  std::vector<MapPartSource> parts;  // parts 1..P in order
};

// Reads one part source text (see above); `file` names it in messages. Throws
// SourceError for anything the game could not load: a size outside 1..200, a cell or
// portal outside the part, a field holding '"', a line break or a comma, an NPC picture
// outside 1..53, an object that is no whole scenery picture, reaches beyond the part or
// covers an NPC or a spawn, a script of more than 999 lines or a script line holding '"'.
MapPartSource ParseMapPartSource(const std::string& text, const std::string& file, int map, int part);

// Every part source "<MM><PP>.txt" of a folder, grouped by map in map order. Throws
// SourceError when a map's parts do not run 1..P (P at most 30) or a source is bad.
std::vector<MapSource> ReadMapSources(const std::filesystem::path& mapsDir);

// The part file as the game reads it: the name, the width and the height, then one
// line of the four fields of every cell (x outer, y inner), then one line per script
// line. Every text is written in double quotes, so blanks and commas stay.
std::string MapPartFileText(const MapPartSource& part);

// The zip archive of part files, written beside `zipFile` and renamed over it. Every
// member carries the same fixed time, so the same parts give the same bytes.
// Throws std::runtime_error when it cannot be written.
void WriteMapArchive(const std::filesystem::path& zipFile, const std::vector<MapSource>& maps);

// The minimap picture of a part (a BMP of 5 x 5 pixels per cell): the floor's colour,
// darker where scenery stands or the cell is blocked, NPCs in yellow, portals in white.
// Throws std::runtime_error when it cannot be written.
void WriteMinimap(const std::filesystem::path& file, const MapPartSource& part);

// Reads data/maps/ of `dataDir` and writes the archive, the part counts, the extracted
// copies and the minimaps into `gameDir`. Throws SourceError for a bad source and
// std::runtime_error when a file cannot be written.
void BuildMaps(const std::filesystem::path& dataDir, const std::filesystem::path& gameDir);

}  // namespace tools
