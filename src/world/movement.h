// Moving the player. The player never leaves view cell (7, 7): a step shifts the view
// origin one map cell and the picture scrolls back by a few pixels a frame. These
// routines turn the held keys and the pointer into a facing and a walk or run, test the
// occupancy grid ahead, and supply the step pieces the player's state machine runs
// frame by frame.
#pragma once

#include <cstdint>

// Keeps the cursor cell inside the view: columns 0..14, rows 0..13.
void KeepCursorInView();

// W, A, S, D held: the facing they give, and a run. No key of the four: nothing. Keys
// are read in the order W+A, W+D, W, S+A, S+D, S, A, D; the first match wins. Does
// nothing while the dialogue panel is open.
void MoveByKeyboard();

// The facing toward the cursor cell; without Shift, a run when the cursor is outside
// the 3 x 3 ring round the player and a walk inside it (Shift only turns). The cursor
// on the player's own cell: nothing. Does nothing while the dialogue panel is open.
void MoveByMouse();

// A run whose first cell ahead is blocked becomes standing, one whose second cell is
// blocked becomes a walk; a walk whose cell ahead is blocked becomes standing. Only the
// target cells are tested, so a diagonal step may pass between two blocked cells.
void CheckMoveBlocked();

// One cell step of the view origin in the facing; the scroll offset takes the step's
// pixels on top of what it still holds.
void StepPlayerTile();

// The scroll offset back toward 0 by 3 / 2 pixels (walking) or 6 / 4 pixels (running).
void StepPlayerWalk();
void StepPlayerRun();

// The view columns and rows the floor drawing covers while the view scrolls: one more
// on the side the new cells come in from, by the facing.
void SetFloorDrawRange();
