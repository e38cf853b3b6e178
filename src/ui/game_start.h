// The start of a game: the three difficulty buttons of the panel PLevel and the data
// reading that turns the loaded character into a running game.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/game_state.h"

namespace ui {

// The pictures the difficulty buttons show while pressed (relative to the working folder).
inline constexpr std::string_view kNormalPressedPicture = "date\\button\\level12.dat";
inline constexpr std::string_view kHardPressedPicture = "date\\button\\level22.dat";
inline constexpr std::string_view kVeryHardPressedPicture = "date\\button\\level32.dat";

// The message of a monster database that cannot be read at game start.
inline constexpr std::string_view kMsgMonsterDataBad = "怪物资料文件缺失或已损坏（Date\\rpg\\21.dat），程序不能进行";
// The message when the working copy of the monster database cannot be made beside it.
inline constexpr std::string_view kMsgMonsterNoWorkCopy =
    "无法在 Date\\rpg 文件夹中建立怪物资料的工作副本（磁盘已满或没有写入权限），程序不能进行";

// Whether the difficulty 1 (normal), 2 (hard) or 3 (very hard) is open to the loaded
// character: normal always, hard from Et(20) = 1, very hard from Et(20) = 2.
bool DifficultyAllowed(int level);

// The difficulty buttons. A press on an open button shows its pressed picture; the
// release on an open button sets GAMELEVEL, hides the panel and starts the game (and
// does not come back while the program runs). A locked button does nothing. Any mouse
// button works.
void I_Nm_MouseDown(int button, int shift, int x, int y);
void I_Hd_MouseDown(int button, int shift, int x, int y);
void I_vHd_MouseDown(int button, int shift, int x, int y);
void I_Nm_MouseUp(int button, int shift, int x, int y);
void I_Hd_MouseUp(int button, int shift, int x, int y);
void I_vHd_MouseUp(int button, int shift, int x, int y);

// 资料读取: the game's data reading. Reads the monster kinds of GAMELEVEL, sets the
// regeneration pace, the item pictures, the status labels and the options, the quick
// spell icon and the class's skill tree, a first view and minimap, loads the map of the
// return point and places the player there with a "#move" line, shows the intro picture
// at a character's first start, works out the set aura and enters the game loop, which
// never returns. A monster database that cannot be read ends the program with its
// message.
void ReadGameData();

// ---------------------------------------------------------------------------------
// Pieces of the data reading

// Reads the kinds of table "Mon" + level of the monster database (the file named by
// MonDbPath, read from a copy without its marker: the file itself is never changed)
// into MonsterKinds(1..count) and MonsterKindCount, in row order. An expert character's
// kinds get Hp + Hp \ 2. False, and MonsterKinds left as they were, when the file, the
// table or a column is missing or the table has no row; WorkCopyError when the copy
// beside the file cannot be made.
bool ReadMonsterKinds(int level);

// Fills a drop list from an Items text: entries "chance/name", each followed by one
// blank. Row 0 column 0 takes the number of entries; rows k = 1.. the name and the
// chance text. Pieces that break the format (no "/", an empty chance or name, a chance
// that is not a whole number, the empty piece between two blanks) are skipped; a last
// entry without its blank still counts; entries past the 30th are dropped. Rows that get
// no entry are emptied.
void ParseDropList(std::string_view items, std::array<std::array<std::string, 2>, kMonsterDrops + 1>& drops);

// The regeneration pace of the level digit of skill 6 (the last character of M(6)):
// "0" 8000, "1" 6000, "2" 5000, "3" 3500 ms; any other keeps `current`.
std::int32_t RegenIntervalFor(std::string_view skill6, std::int32_t current);

// Shows every skill icon, key label and tree line, then hides the branches that the
// class does not learn (战士: 7-10 and 12-15; 道士: 2-4 and 12-15; 法师: 2-4 and 7-10,
// with their lines). Skills 1, 5, 6 and 11 and Line21 stay for everyone; any other
// class text hides nothing.
void ArrangeSkillPanel(std::string_view zhiYe);

// The "#move" line to the return point: map and part as two digits each, then x and y
// ("#move 0101 13 13").
std::string ReturnPointMoveLine();

// Attaches the difficulty buttons' handlers to Form1 (after BuildMainWindow).
void AttachGameStartHandlers();

}  // namespace ui
