// The interface pictures of the sample game folder, drawn by the builder, and the help
// page:
//
//   date/Item/<Pic1>.bmp           item icons (28 x 26): every Pic1 of the item table, and
//                                  the gold piles 1..5 growing with the number
//   date/mgc/ico/<k>.bmp           skill icons 1..15 (28 x 28) of learned skills
//   date/mgc/ico/dark/<k>.bmp      the same icons darkened: the icon of a skill not learned
//   date/Number/<d>.bmp            damage digits 0..9 (10 x 14) and 10, the "MISS" picture
//   date/button/bt<n>1.dat, 2.dat  the nine picture buttons, released (1) and pressed (2)
//   date/button/F<n>1.dat, 2.dat   the hotkey images F1..F8, released and pressed
//   date/button/level<d>.dat       the difficulty buttons 1..3 as they show when allowed,
//   date/button/level<d>2.dat      ... while pressed,
//   date/button/level<d>lock.dat   ... and 2 and 3 while still locked
//   date/button/minimap.dat        the minimap toggle image
//   date/Panel/<panel>.bmp         the background of every panel of the main window,
//                                  named after the panel and sized to its client area
//   Help/help.htm                  the help page, copied from data/help/help.htm
//
// The button pictures are ordinary BMP files in spite of their ".dat" names. Everything
// is deterministic: the same sources give the same bytes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tools {

// Where the panel backgrounds lie: kPanelFolder + "/" + panel name + ".bmp".
inline constexpr std::string_view kPanelFolder = "date/Panel";

// The game path of a panel's background picture ("\date\Panel\Psys1.bmp").
std::string PanelPicturePath(std::string_view panelName);

// Draws every picture listed above except the help page into `gameDir`. The item icons
// come from data/tables/items.tsv; the panels and their sizes from the main window's
// control tree. Throws SourceError for a bad item table (an icon outside 6..440) and
// std::runtime_error when a file cannot be written.
void WriteInterfacePictures(const std::filesystem::path& dataDir, const std::filesystem::path& gameDir);

// Copies data/help/help.htm to "Help/help.htm". Throws SourceError when the source is
// missing and std::runtime_error when the copy cannot be written.
void WriteHelpPage(const std::filesystem::path& dataDir, const std::filesystem::path& gameDir);

}  // namespace tools
