// The main window's start-up, its quit confirmation and its three timers.
#pragma once

namespace ui {

// The start-up sequence: shows the window, starts the graphics, the logos, the start-up
// pictures and tables, removes the leftovers of ended runs, fills the character list and
// shows it. Leaves the program on the title screen.
void Form_Load();

// Removes the working files that runs of the program which no longer run left beside the
// saves, the option file, the screenshots and the monster database (see
// RemoveWorkLeftovers). Part of the start-up, before the character list is read.
void RemoveLeftoversOfEndedRuns();

// The quit confirmation every closing of the window passes: "确实要退出游戏吗？" with OK
// and Cancel. OK ends the program through EndGame without saving; Cancel (or the box
// closed) sets cancel to 1 and changes nothing else.
void Form_Unload(int& cancel);

// Every 1000 ms: Fps = FrameCount, FrameCount = 0; with InvisLock set, InvisTime = 9999.
void TimerFps_Timer();
// Every 400 ms: the NPC animation phase steps 0, 1, 2, 3, 0, ...
void TimerNPC_Timer();
// Every 2500 ms: a summoned spirit costs 1 MP while MP is above 0.
void BBTimer_Timer();

// Attaches the handlers above to Form1's window and timers, and the handlers of the
// title screen, the difficulty choice, the game screen's mouse and dialogue, the death
// panel, the item description, the forge and the cheat panel (after BuildMainWindow).
void AttachStartupHandlers();

}  // namespace ui
