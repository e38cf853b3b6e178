// The mouse on the game screen, the dialogue's choices and its close label.
//
// The game screen shows 15 x 14 view cells of 48 x 32 pixels; its mouse positions are
// pixels. The handlers only record the cursor cell and the buttons (the player's frame
// turns them into walking, running, attacking and casting), except that a left press
// while standing talks to an NPC under the cursor or drops the held bag item.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

// Pixels of one view cell.
inline constexpr int kCellPixelsWide = 48;
inline constexpr int kCellPixelsHigh = 32;

// The cursor cell (kept inside the view, columns 0..14 and rows 0..13); with a map
// loaded it also hides the item description and shows the target bar of a monster under
// the cursor or one row below it, for 100 frames.
void GameScreen_MouseMove(int button, int shift, int x, int y);
// The button flags; a left press while standing and alive, with a map loaded, talks to
// the NPC of the cursor cell (or of the cell below it), or else drops the held bag or
// belt item while the character window is open. The cell is the last one the cursor
// moved to; the press's own position is not used.
void GameScreen_MouseDown(int button, int shift, int x, int y);
// Any release clears both button flags.
void GameScreen_MouseUp(int button, int shift, int x, int y);

// A dialogue choice Lb(index), 1..6: the click sound, the shop's description emptied,
// and the NPC's script goes on from the choice's label.
void Lb_Click(int index);

// The dialogue's "关闭", also every service panel's "放弃": hides the dialogue, bank,
// sell, shop, forge and item description panels, empties their item pictures and price
// texts, lets go of the held item and resumes the game.
void Lquit_Click();

// The NPC code of a cell kind "N" + name + four digits: the text without its last four
// characters ("N村长1001" gives "N村长"). "" for a kind that is not a visible NPC.
std::string NpcCodeOf(const std::string& kind);

// Attaches the handlers above to Form1's game screen, choice labels and close label.
void AttachGameScreenHandlers();

}  // namespace ui
