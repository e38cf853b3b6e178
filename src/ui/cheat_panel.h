// The cheat panel Pzb: item creation, value changes, teleports, skills, refills, the
// five lock boxes and monster summoning. Its buttons build one script line each and hand
// it to the script command that matches; the boxes set the lock flags of the game state.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ui {

// One row of the teleport list: the label shown in Cmap, the "#move" line it runs, and
// where that line puts the player.
struct CheatDestination {
  std::string_view label;
  std::string_view line;
  std::int32_t map;
  std::int32_t part;
  std::int32_t x;
  std::int32_t y;
};
inline constexpr std::size_t kCheatDestinationCount = 18;
const std::array<CheatDestination, kCheatDestinationCount>& CheatDestinations();
// The row whose label is exactly `label`; none for any other text.
const CheatDestination* FindCheatDestination(std::string_view label);

// The "#change" prefix for the text of Cchange (exact, case-sensitive), e.g. "HP上限" ->
// "#change hpmax = "; none for a text the table lacks.
std::optional<std::string_view> CheatValuePrefix(std::string_view text);

// Whether the game folder holds part `part` of map `map` in full: the part count in
// map\<map>.Mxx covers it and the archive holds every part of the map (a map is loaded
// whole).
bool CheatDestinationPresent(std::int32_t map, std::int32_t part);

// Fills Citem with the names of the item table (in its own order) and MobList with the
// monster kinds of the game (MonsterKinds 1..); Citem keeps its text. An unreadable item
// table leaves Citem without rows.
void FillCheatLists();

// Marks the character of a running game as a cheat account ("作弊" in M(20), CheatMode
// 1) unless it already is: the panel acts on the character in play, which may be a
// normal one continued after cheat mode was switched on at the title screen. Nothing
// before a game has started.
void MarkCheatCharacter();

// "得到": "#give " + Citem's text + " 1".
void Command17_Click();
// "确认": the value table's prefix + Tcc's text to ScriptChange (nothing for an unknown
// text), then the status labels are refreshed in every case.
void Command18_Click();
// "移动": the destination's "#move" line. A label not in the list does nothing; a
// destination the game folder lacks shows a message and leaves the player where they stand.
void Command19_Click();
// "解锁全部技能": every skill icon and key label, and the lines of the first and third
// skill rows, are shown.
void Command22_Click();
// "生命魔法加满": HP and MP to their maximums.
void Command23_Click();
// "召唤": "#mob " + the chosen kind + the cell right of and below the player.
void Command24_Click();
// The lock boxes: the flag follows the box.
void LhpLck_Click();
void LmpLck_Click();
void Lys_Click();
// The hit boxes exclude each other: ticking one clears the other and sets its own flag
// alone. Clearing a box changes no flag: the effect chosen last stays.
void Lddzk_Click();
void Lddhl_Click();

// Attaches the handlers above to Form1's cheat panel (after BuildMainWindow); each first
// marks the character (MarkCheatCharacter).
void AttachCheatPanelHandlers();

}  // namespace ui
