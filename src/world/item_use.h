// Using items from the bag and the belt.
#pragma once

// The recall: a "#move" to the return point GoMain, GoSub, GoX, GoY (map and part as two
// digits each), as a return scroll, the death panel's way back to town and the script
// command "#BACKCITY" use it. The start values 1, 1, 13, 13 give "#move 0101 13 13".
void RecallToReturnPoint();
