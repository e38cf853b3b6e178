// The system menu Psys1: continue, save, help and quit, the eight option check boxes,
// and the toggle that moves the minimap in and out of view.
#pragma once

namespace ui {

// "继续游戏": closes the menu and resumes the game.
void Label2_Click();
// "游戏存档": closes the menu, saves the game and resumes it.
void Label4_Click();
// "游戏帮助": opens the help page "Help/help.htm" of the program folder with the
// desktop's handler; the menu stays open and the game paused.
void Label3_Click();
// "放弃退出": ends the program at once, without a question or a save.
[[noreturn]] void Label1_Click();

// The option boxes: each sets its flag from its value (1 on, anything else off), clicks
// while sound effects are on and writes "Config.cfg" anew. Run by the player's click and
// by code that changes a box's value.
void LGameMusic_Click();
void LMgcLock_Click();
void LlistMinMap_Click();
void LActNumber_Click();
void LFullHP_Click();
void LFullItem_Click();
void LAutoItem_Click();
void LshowID_Click();

// The minimap's corner toggle: parks the minimap when it is in view, else puts it in
// view. The option box and the file are left as they are.
void Image1_Click();

// Attaches the handlers above to Form1 (after BuildMainWindow).
void AttachSystemMenuHandlers();

}  // namespace ui
