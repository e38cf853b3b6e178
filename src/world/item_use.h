// Using items from the bag and the belt.
#pragma once

#include <cstdint>

// The recall: a "#move" to the return point GoMain, GoSub, GoX, GoY (map and part as two
// digits each), as a return scroll, the death panel's way back to town and the script
// command "#BACKCITY" use it. The start values 1, 1, 13, 13 give "#move 0101 13 13".
void RecallToReturnPoint();

// Uses the item in belt slot 11..16 or bag slot 21..56 (the right click on the grid and
// the belt keys 1..6).
void UseItem(std::int32_t slot);
