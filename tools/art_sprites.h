// The sprite pictures of the sample game folder, drawn by the builder:
//
//   date/Game.Mxx/.dat        the start-up and story pack: 1 intro, 2-4 ending, 5-6 logos,
//                             7-8 loading screen, 9-15 head-up display pieces
//   date/floor                floor tiles (48 x 32)
//   date/fj/1 .. 4            scenery objects: 1 nature, 2 village, 3 dungeon, 4 special
//   date/NPC/<n> + .zb        NPC looks 1..53, 12 frames (3 facings x 4 idle frames)
//   date/Mon/<m> + .zb        monster sets used by the monster tables, 208 frames; an
//                             offset table for every set 1..119 (74 and 75 have no pack:
//                             those data files are databases)
//   date/rpg/<b> + .zb        player body looks (0 = no armour, every armour look of the
//                             item table, 101..107 the spirit forms), 280 frames; 21 never
//   date/rpg/Head + .zb       the player's head, 280 frames
//   date/Weapon/<w> + .zb     weapon looks of the item table, 280 frames
//   date/Dead/<t>/<i>.tga     death bursts of monster types 1..3, 8 frames
//   date/mgc/sp<k>/<i>.tga    screen effects 1..10
//   date/mgc/<n>/<i>.tga|bmp  skill animations with their xy.txt offsets
//   date/mgc/Tz.tga, Sp.bmp, Lj.bmp   aura, spirit glow, screen flash
//
// Folder names follow the databases' ("date/Mon", "date/rpg") and the interface's
// ("date/mgc"); the game finds them whatever case it writes. A folder that already exists
// under another case is used as it is.
//
// Directions are 0 north, 1 north-east, 2 east, ... 7 north-west (clockwise), north up.
// Every sprite stands on pure black (transparent in the game); frames are cropped and
// placed by their offset tables, all relative to the top-left corner of the figure's
// cell (the figure's feet stand near (24, 26) of its 48 x 32 cell).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tools {

// Floor tiles of "date/floor" (picture numbers for field 1 of a map cell).
enum FloorTile : int {
  kFloorGrass = 1,
  kFloorGrass2 = 2,
  kFloorGrassFlowers = 3,
  kFloorDirt = 4,
  kFloorRoad = 5,        // cobbled road
  kFloorSand = 6,
  kFloorWater = 7,       // deep water
  kFloorShallows = 8,    // shallow water
  kFloorStone = 9,       // stone slabs (town squares, halls)
  kFloorWood = 10,       // wooden planks (houses, bridges)
  kFloorCave = 11,       // cave ground
  kFloorDungeon = 12,    // dark dungeon flags
  kFloorSnow = 13,
  kFloorLava = 14,
  kFloorSwamp = 15,
  kFloorFarmland = 16,
  kFloorCarpet = 17,     // red carpet (halls)
  kFloorDarkGrass = 18,  // dark forest floor
  kFloorAsh = 19,        // burnt ground of the demon lands
  kFloorIce = 20,
  kFloorTileCount = 20,
};

// One scenery picture of a set "date/fj/<set>": its size in pixels. The picture's top-left
// corner is drawn at the top-left corner of the cell that holds the object code (set digit
// followed by the four-digit picture number, e.g. "10003"), so a picture larger than a cell
// covers the cells to the right and below; `footCols` x `footRows` cells at the bottom
// middle of the picture are where it stands (the cells a map should block).
//
// The game draws an object only while the cell that holds its code lies in the pass's
// draw range, so a picture larger than a cell would vanish while its lower or right part
// is still on screen. Every such picture therefore also comes cut into cell pieces of
// 48 x 32 (pieces that show nothing are left out), numbered in the same set after all the
// whole pictures; a map places a large object piece by piece.
//
// `overhang` marks a picture whose upper part really hangs over the cells south of it (a
// roof edge, a tree crown): drawn over the figures, it may cover the head of one standing
// just south of it. Nothing else belongs in the pass over the figures where a figure can
// stand south of it.
struct SceneryPicture {
  int set = 0;
  int number = 0;
  const char* name = "";
  int width = 0, height = 0;
  int footCols = 1, footRows = 1;
  bool overhang = false;
  // A piece: the number of the whole picture it is cut from, and its cell within it
  // (column and row from the top-left, from 0). 0 for a whole picture.
  int pieceOf = 0;
  int pieceCol = 0, pieceRow = 0;

  int Cols() const { return (width + 47) / 48; }
  int Rows() const { return (height + 31) / 32; }
  // Whether the piece's cell is one of the cells the object stands on.
  bool InFoot(int col, int row) const {
    const int first = (Cols() - footCols) / 2;
    return row >= Rows() - footRows && col >= first && col < first + footCols;
  }
};

// The whole scenery catalogue, in set and number order: the whole pictures of each set,
// then their pieces.
const std::vector<SceneryPicture>& SceneryCatalogue();

// The picture `number` of scenery set `set`, or nullptr.
const SceneryPicture* FindScenery(int set, int number);

// The piece of picture (set, number) at (col, row), or nullptr when the picture is not
// cut or that piece shows nothing.
const SceneryPicture* FindSceneryPiece(int set, int number, int col, int row);

// NPC pictures: 53 looks. A map cell "N<name><pose><nnn>" shows look nnn with pose 1
// (facing south), 5 (facing west) or 9 (facing east); the game adds 0..3 for the idle frames.
// Looks 1..5 are the village elder (white beard, staff), the druggist (green, with a
// bottle), the smith (bald, hammer), a guard (helmet, spear) and a merchant (red robe);
// the others are villagers of varied clothes, hats and trades.
inline constexpr int kNpcLookCount = 53;
inline constexpr int kNpcPoseSouth = 1;
inline constexpr int kNpcPoseWest = 5;
inline constexpr int kNpcPoseEast = 9;

// Frame counts of the sprite sets.
inline constexpr int kPlayerFrames = 280;
inline constexpr int kMonsterFrames = 208;
inline constexpr int kNpcFrames = 12;
inline constexpr int kMonsterTables = 119;  // offset tables date/Mon/1.zb .. 119.zb

// Screen-effect sets 1..10 and their frame counts.
inline constexpr int kScreenEffectFrames[11] = {0, 8, 6, 4, 8, 7, 8, 8, 8, 6, 7};

// Skill animation sets: set number, frame count, file extension, with "xy.txt".
struct SkillSet {
  int set;
  int frames;
  const char* extension;
  bool offsets;
};
inline constexpr SkillSet kSkillSets[] = {
    {2, 48, ".tga", true},  {3, 48, ".tga", true},  {4, 32, ".tga", true},  {5, 10, ".tga", true},
    {7, 6, ".tga", true},   {8, 10, ".tga", true},  {9, 6, ".bmp", true},   {10, 3, ".tga", false},
    {11, 8, ".tga", true},  {12, 8, ".bmp", true},  {13, 12, ".tga", true}, {15, 12, ".tga", true},
};

// One written picture pack or file, for reports and checks.
struct WrittenSprites {
  std::string path;  // relative to the game folder, '/' separated
  int frames = 0;    // records of a pack, 1 for a single file
  long bytes = 0;    // size of the data file (or the single file)
};

// Draws every sprite pack, offset table and single sprite picture listed above into
// `gameDir` (the monster sets and looks are taken from the tables in `dataDir`:
// tables/mon1..3.tsv and tables/items.tsv). Deterministic: the same sources give the
// same bytes. Throws SourceError for a bad table (or a table naming set 74, 75 or body
// look 21) and std::runtime_error when a file cannot be written.
std::vector<WrittenSprites> BuildSpritePictures(const std::filesystem::path& dataDir,
                                                const std::filesystem::path& gameDir);

}  // namespace tools
