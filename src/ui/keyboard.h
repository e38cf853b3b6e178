// The main window's key handler. The window sees every key press before the control
// that has the focus, so these keys work on the title screen as well as during play.
// Walking with W, A, S and D is not done here: the game loop reads those keys' state.
#pragma once

#include <ctime>
#include <string>

namespace ui {

// One key press (a Windows virtual-key code); the shift state is not looked at. Exactly
// one of the key's actions runs; a key without one does nothing:
//  - grave accent (left of 1): with the game running and not paused, pauses it and
//    minimises the window (HideGameWindow);
//  - F1 to F8: the skill bound to the key (below);
//  - 1 to 6 (main keyboard): the quick belt, slots 11 to 16 (below);
//  - F12 and Esc: the quit confirmation; OK ends the program, Cancel changes nothing;
//  - R: the player walks toward the mouse pointer as if the left button were held,
//    until the next release of a mouse button on the game screen;
//  - Home: cheat mode. The first press on a normal account warns once, marks the
//    account mode M(20) "作弊" and sets CheatMode; every press shows or hides Pzb;
//  - U and I: the character window on the status page or the bag (SysB2 / SysB3), or
//    closed; only with the game unpaused and the difficulty choice hidden;
//  - O: the same condition for SysB3 first; then in any state the skills page is shown,
//    or, when it already was, the character window is closed (Sys2b5);
//  - P: with the player alive and the difficulty choice hidden, the character window
//    is put away and the system menu opened or closed (SysB1);
//  - F9: a screenshot of the game view, saved as a bitmap in "\Pic" (made when
//    missing) under ScreenshotFileName; a name already taken goes on to the next
//    number. Success shows the name in a message box, a folder or file that cannot be
//    made shows a red system message instead;
//  - Enter, L and M: nothing.
//
// Fn looks at skills 2 to 15 in turn (skill 1 never) for a string starting with "F" & n.
// A match becomes the selected spell NowMc and its icon "\date\mgc\ico\k.bmp" is shown
// in Qmc. Skill 4 (震气斩) then switches ShockSlashOn and ends; skill 9 (精灵召唤) with a
// level above 0 summons the spirit at that level, or dismisses it, and ends; any other
// skill lets the search go on, so of two skills on one key the higher one is selected.
// The four messages are yellow.
//
// Keys 1 to 6 act only on a belt slot that holds an item and only more than 600 ms after
// the last item use (LastItemUseTick, shared with the grid's right click), which they set.
// The first bag slot holding an item of the same name is used in its place, so the belt
// keeps its item while the bag has more of it.
void Form_KeyDown(int& keyCode, int shift);

// A screenshot's file name: year, month, day, hour, minute, second and the number as
// plain decimal numbers run together, then ".bmp" (2008-01-07 09:05:03 and 42 give
// "20081795342.bmp").
std::string ScreenshotFileName(const std::tm& when, int number);

// Attaches Form_KeyDown as the main window's key handler (after BuildMainWindow).
void AttachKeyboardHandlers();

}  // namespace ui
